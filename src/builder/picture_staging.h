// Makes the icon and border pictures into what the DS needs, whatever their format, once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pellix {

// The icon and border files a build hands to the programs, read and converted once, so a
// batch decodes each picture once whatever the number of its builds, and a picture that
// changes or disappears meanwhile changes no package of the batch.
struct StagedPictures {
    std::string iconSource;    // the file the icon came from
    std::string borderSource;  // the file the border came from
    std::vector<std::uint8_t> icon;    // the bytes of icon.bmp
    std::vector<std::uint8_t> border;  // the bytes of border.bmp
};

// A picture file to stage, absolute, and whose it is.
struct PictureSource {
    std::string path;
    // The user's choice: a file that is no picture at all is refused. The installation's
    // own default is handed on as it is then, for the programs to judge.
    bool chosen = true;
};

// Reads and converts the icon and the border.
// The icon becomes the DS menu icon MakeMenuIcon makes of it: a 32 x 32 bitmap of up to 16
// colours stays byte for byte, any other bitmap, PNG, JPEG or GIF picture is replaced by
// its 4-bit conversion. The border goes through MakeBorderPicture: a 256 x 192 bitmap or
// PNG stays, any other picture becomes a 256 x 192 24-bit bitmap. A file of no kind
// recognised is refused when chosen, else left for ndstool and grit to judge, so every
// picture of the user's is proved before a program runs. Only one picture of the process is
// decoded at a time, which bounds the memory conversions take to that of one decode.
// Throws std::runtime_error naming the file and the reason ("cannot use /x/icon.png as
// icon: truncated PNG picture: ...", "cannot read the icon /x/i.bmp: no such file").
std::shared_ptr<const StagedPictures> StagePictures(const PictureSource& icon,
                                                    const PictureSource& border);

// The icon.bmp and border.bmp bytes one picture gives, as StagePictures makes them.
std::vector<std::uint8_t> StageIcon(const PictureSource& icon);
std::vector<std::uint8_t> StageBorder(const PictureSource& border);

}  // namespace pellix
