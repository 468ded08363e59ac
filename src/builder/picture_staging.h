// Makes the staged icon and border pictures into what the DS needs, whatever their format.
#pragma once

#include <string>

namespace pellix {

// Turns the staged copy of the icon, `staged` (bin/icon.bmp), into the DS menu icon that
// MakeMenuIcon makes of it: a 32 x 32 bitmap of up to 16 colours stays byte for byte,
// any other bitmap, PNG, JPEG or GIF picture is replaced by its 4-bit conversion. A file
// of no kind recognised is left for ndstool to judge. Throws std::runtime_error naming
// `source`, the file the user chose, when the picture cannot be used ("cannot use
// /x/icon.png as icon: truncated PNG picture: ...") or the staged file cannot be
// read or written.
void ConvertStagedIcon(const std::string& source, const std::string& staged);

// The same for the border (bin/border.bmp) through MakeBorderPicture: a 256 x 192 bitmap
// or PNG stays, any other picture becomes a 256 x 192 24-bit bitmap that covers the screen.
void ConvertStagedBorder(const std::string& source, const std::string& staged);

}  // namespace pellix
