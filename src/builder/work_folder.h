// A private working folder for one build, so that several builds can run side by side.
#pragma once

#include <string>

namespace pellix {

// A fresh folder laid out like the installation's bin folder as far as a build reads it:
// copies of 7.bin and 9.bin, and data/ holding copies of the files the user keeps in
// bin/data (so they are packed into every package, as from the window). The companion
// programs stay where they are installed. The folder and everything in it is removed
// when the object goes, however the build ended.
class WorkFolder {
  public:
    // Makes the folder below `parent` (the system's temporary folder when "") under a name
    // no other build uses, and fills it from the installation at `appDir` (no trailing
    // separator). Throws modIO::FileError naming what could not be made or copied; nothing
    // is left behind then. Working files an interrupted window build left in bin/data are
    // not copied.
    explicit WorkFolder(const std::string& appDir, const std::string& parent = "");
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // The folder, without a trailing separator.
    const std::string& path() const { return path_; }

    // Removes the folder now (again a no-op afterwards); false when some of it stays.
    bool Remove();

  private:
    std::string path_;
};

}  // namespace pellix
