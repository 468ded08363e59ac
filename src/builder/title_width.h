// How wide a title line is drawn in the DS menu, and a ROM's name split into lines that fit.
#pragma once

#include <string>
#include <vector>

namespace pellix {

// The width of the menu's title area in pixels: the preview's title labels span x 56 to
// 185 of gfx/preview.bmp, and the DS shows the same room.
constexpr double kTitleAreaPixels = 129;

// The pixel width of one title line (UTF-8) in the preview's title font, the design's
// sans serif of 8.25 points at 96 dots per inch (11 pixels to the em), measured with its
// advance widths. Bytes that are not UTF-8 count as one character each.
double TitleLineWidth(const std::string& line);

// Whether the line is shown whole in the title area.
bool TitleLineFits(const std::string& line);

// A name split into title lines.
struct FittedTitle {
    std::vector<std::string> lines;  // one to three, none empty unless the name is
    std::string dropped;             // the words that found no room, "" when none did
};

// Splits `name` into at most three lines that fit, breaking at " - " first, then before
// "(", then at spaces; at each line the latest break of the first kind that leaves a
// fitting line is taken. A single word wider than a line keeps a line of its own (the DS
// cuts it). Words that find no room in three lines are dropped and returned in `dropped`.
FittedTitle FitTitle(const std::string& name);

// The numbers (1 to 3) of the lines among `titles` that will be cut on the DS.
std::vector<int> CutTitleLines(const std::string titles[3]);

}  // namespace pellix
