// The checks a build passes before anything is copied or packed: the ROM, the title, the
// pictures, the user's staging folder and the output folder. Each refusal names the user's
// own file or typed line, never a file the build stages.
//
// Build makes them all first (CheckRequest); a batch makes those its ROMs share once, up
// front (CheckTitle, CheckPictures, DataFolderRefusal, OutputFolderRefusal), and those of
// each ROM per ROM, so that a problem common to every ROM refuses the batch as a whole.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "builder/build_pipeline.h"
#include "builder/ds_inputs.h"
#include "builder/picture_staging.h"

namespace pellix {

// The largest ROM: a GBA addresses 32 MiB of cartridge.
constexpr std::int64_t kMaxRomSize = 32 * 1024 * 1024;

// What a DS title holds: 128 UTF-16 units over all its lines and the breaks between them.
constexpr std::size_t kTitleRoom = 128;

// A request cannot be built as it is; what() says why, naming the user's file or line.
class InputRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Why the ROM `romText`, as the user gave it (absolute: `romPath`), cannot be built, or
// "": none given (kChooseRomFirst), not found, a folder, not a regular file, empty, over
// kMaxRomSize, or unreadable.
std::string RomRefusal(const std::string& romText, const std::string& romPath);

// The lines the banner shows of three title lines: "Pellix" when line 1 is blank, else
// line 1, then line 2 and line 3 for as long as no blank one comes. A line is blank when
// it holds nothing but spaces; the lines are used untrimmed, a ';' in one included.
std::vector<std::string> BannerLines(const std::string& line1, const std::string& line2,
                                     const std::string& line3);

// A title as the package will hold it.
struct TitleCheck {
    std::vector<std::string> lines;  // BannerLines, each readable (formats::ReadableText)
    std::string notice;              // the ROM's name was cut to fit; "" when not
    std::string refusal;             // a typed line does not fit; "" when all fit
};

// Checks three title lines against the banner's room (kTitleRoom). A typed line that does
// not fit is refused, naming the line and its length. When `line1IsName`, line 1 is the
// ROM's name, which nobody typed: it is cut between characters to the room the other
// lines leave, and the cut is told in `notice`.
TitleCheck CheckTitle(const std::string (&titles)[3], bool line1IsName);

// The icon and border a build of the installation `appDir` uses, decoded and converted
// once: a custom picture when `icon` or `border` names a file that is there (a relative
// name is taken from the current folder), else gfx/icon.bmp and gfx/border.bmp. Throws
// InputRefused naming the custom file that cannot be used, and why.
std::shared_ptr<const StagedPictures> CheckPictures(const std::string& appDir,
                                                    const std::string& icon,
                                                    const std::string& border);

// The files CheckPictures reads: {icon, border}.
std::pair<PictureSource, PictureSource> PictureSources(const std::string& appDir,
                                                       const std::string& icon,
                                                       const std::string& border);

// The pictures of a batch whose ROMs may each bring their own: as CheckPictures, but each
// distinct file is decoded and converted once, whatever pairs it is used in. Not for
// several threads at once.
class PictureChecks {
  public:
    explicit PictureChecks(std::string appDir) : appDir_(std::move(appDir)) {}
    // Throws InputRefused naming the file that cannot be used, and why.
    std::shared_ptr<const StagedPictures> For(const std::string& icon, const std::string& border);

  private:
    // A converted file, or why it cannot be used.
    struct Converted {
        std::vector<std::uint8_t> bytes;
        std::string refusal;
    };
    std::string appDir_;
    std::map<std::string, Converted> icons_, borders_;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const StagedPictures>> pairs_;
};

// Why the staging folders `dataFolders` (each packed whole into every package) cannot be
// packed as they are, or "": a file of one would take the name of a file of the folder
// before it, or an entry at the top of one is named like a file the build writes there
// itself (paths::kBuildDataNames). A folder that is not there is no problem.
std::string DataFolderRefusal(const std::vector<std::string>& dataFolders);

// Why no package can be written into `folder`, or "": it is not there, not a folder, or
// a file cannot be made in it (one is made and removed again, since nothing short of
// that tells on every system).
std::string OutputFolderRefusal(const std::string& folder);

// A request that passed every check, its paths absolute.
struct CheckedRequest {
    std::string rom;
    std::string output;
    std::vector<std::string> titleLines;  // as the banner shows them (TitleCheck::lines)
    std::shared_ptr<const StagedPictures> pictures;
    DsInputs inputs;  // the DS images and data folders the build packs (FindDsInputs)
};

// Every check of one build, in the order a user fixes them: the installation, the ROM,
// the output path and folder, the title, the staging folder, the pictures (unless the
// request brings them converted). Throws InputRefused; touches nothing.
CheckedRequest CheckRequest(const BuildRequest& request, const std::string& appDir);

}  // namespace pellix
