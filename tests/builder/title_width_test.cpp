// Title lines against the menu's width, and names split into lines that fit.
#include "builder/title_width.h"

#include <gtest/gtest.h>

namespace {

using pellix::FitTitle;
using pellix::TitleLineFits;

struct FitCase {
    const char* name;
    std::vector<std::string> lines;  // what FitTitle makes of it
    const char* dropped;
};

TEST(TitleWidth, NamesThatFitThatDoNotAndTheirSplits) {
    // Whole names: fits as it is, or not.
    const std::pair<const char*, bool> lines[] = {
        {"Metroid Fusion (USA)", true},
        {"Final Fantasy I & II", true},
        {"", true},
        {"Advance Wars 2 - Black Hole Rising (USA, Australia)", false},
        {"Metroid - Zero Mission (USA)", false},
        // Narrow and wide letters: 52 i's fit, 53 do not, nor do 24 W's.
        {"iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii", true},
        {"iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii", false},
        {"WWWWWWWWWWWWWWWWWWWWWWWW", false},
        // An ideograph fills the em: eleven of them fit, twelve do not.
        {"\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82"
         "\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82",
         true},
        {"\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82"
         "\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82",
         false},
    };
    for (const auto& [line, fits] : lines) EXPECT_EQ(TitleLineFits(line), fits) << line;

    const FitCase fits[] = {
        {"Metroid Fusion (USA)", {"Metroid Fusion (USA)"}, ""},
        {"  Mother 3  ", {"Mother 3"}, ""},
        // " - " first, then "(", each leaving the widest line that fits.
        {"Advance Wars 2 - Black Hole Rising (USA, Australia)",
         {"Advance Wars 2", "Black Hole Rising", "(USA, Australia)"},
         ""},
        {"Metroid - Zero Mission (USA)", {"Metroid", "Zero Mission (USA)"}, ""},
        {"Pokemon - Emerald Version (USA, Europe)",
         {"Pokemon", "Emerald Version", "(USA, Europe)"},
         ""},
        {"Final Fantasy I & II - Dawn of Souls (USA, Australia)",
         {"Final Fantasy I & II", "Dawn of Souls", "(USA, Australia)"},
         ""},
        // The later " - " while the line still fits.
        {"Zelda - A - Link to the Past - Four Swords",
         {"Zelda - A", "Link to the Past", "Four Swords"},
         ""},
        // No mark: spaces, as many words as fit; the words beyond three lines are named.
        {"One Two Three Four Five Six Seven Eight Nine Ten Eleven Twelve Thirteen Fourteen "
         "Fifteen Sixteen Seventeen",
         {"One Two Three Four Five", "Six Seven Eight Nine Ten", "Eleven Twelve Thirteen"},
         "Fourteen Fifteen Sixteen Seventeen"},
        // A word wider than a line keeps a line of its own.
        {"WWWWWWWWWWWWWWWWWWWWWWWW Deluxe", {"WWWWWWWWWWWWWWWWWWWWWWWW", "Deluxe"}, ""},
    };
    for (const FitCase& c : fits) {
        const pellix::FittedTitle fitted = FitTitle(c.name);
        EXPECT_EQ(fitted.lines, c.lines) << c.name;
        EXPECT_EQ(fitted.dropped, c.dropped) << c.name;
    }
}

}  // namespace
