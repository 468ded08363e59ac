// A private working folder for one build, so that several builds can run side by side.
#pragma once

#include <memory>
#include <string>

#include "builder/ds_inputs.h"
#include "system/files.h"

namespace pellix {

namespace os {
class FileLock;
}

// A fresh folder laid out like the installation's bin folder as far as a build reads it:
// copies of 7.bin and 9.bin, and data/ holding copies of the files the user keeps in
// bin/data and in the data folder of their own (so they are packed into every package).
// The companion programs stay where they are installed. Nothing of the installation is
// written, so a build never sees another build's working files and a read-only
// installation builds too.
//
// Beside the folder lies its lock, FOLDER.lock, taken before the folder is made and held
// for the object's life; the system drops it when the process ends in any way, which is
// how RemoveStaleWorkFolders tells a folder whose owner is gone.
class WorkFolder {
  public:
    // Makes the folder below `parent` (the system's temporary folder when "") under a name
    // no other build uses, and fills it with `inputs`. Throws files::FileError naming what
    // could not be made or copied (DataNameClash when two data folders hold one name);
    // nothing is left behind then.
    explicit WorkFolder(const DsInputs& inputs, const std::string& parent = "");
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // The folder, without a trailing separator.
    const std::string& path() const { return path_; }

    // Removes the folder and its lock now (again a no-op afterwards); false when some of
    // it stays.
    bool Remove();

  private:
    std::string path_;
    std::string lockPath_;
    std::unique_ptr<os::FileLock> lock_;
};

// Removes the working folders below `parent` (the system's temporary folder when "") whose
// lock no process holds: left by a build whose process was killed. Folders of running
// builds, and folders without a lock of ours, are left alone. Returns how many went.
int RemoveStaleWorkFolders(const std::string& parent = "");

// Two data folders both hold a file of one name; the package can carry only one of them.
class DataNameClash : public os::FileError {
  public:
    using os::FileError::FileError;
};

// Why a file of a data folder cannot be packed when `earlier`, from the data folder before
// it, would take the same name in the package.
std::string DataClashReason(const std::string& earlier);

// Copies the user's files of the staging folder `from` into `to` by the one rule every
// build follows: links are followed (a linked folder is packed with what it holds), the
// build's own working names and other builds' working folders are passed over, and a
// pipe, socket or device is refused rather than opened, since reading one may never end.
// Folders of one name are merged; a name that `to` holds already, copied there from the
// data folder `earlier`, throws DataNameClash. Throws files::FileError.
void CopyStagingFolder(const std::string& from, const std::string& to,
                       const std::string& earlier = "");

}  // namespace pellix
