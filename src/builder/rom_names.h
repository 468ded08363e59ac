// What a collection pairs with each ROM by name: its pictures in a folder, its title in a list.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace pellix {

// The name a ROM is known by when pictures and titles are paired with it: its file name
// less ".gba" (any case), compared as the system compares file names (without regard to
// case on Windows).
std::string RomName(const std::string& romPath);

// The key under which RomName and the names of pictures and list entries are compared.
std::string NameKey(const std::string& name);

// Pictures named like ROMs: for NAME.gba, NAME.png, .bmp, .jpg, .jpeg or .gif (the
// extension in any case; the first of that order when there are several).
class PictureFinder {
  public:
    // Adds the pictures of `folder` and of the folders below it, each under its folder
    // relative to `folder`. Throws std::runtime_error naming the folder when it cannot be
    // read.
    void AddFolder(const std::string& folder);
    // Adds one picture file (by its name alone); other files are passed over.
    void AddFile(const std::string& path);
    // The picture for the ROM at `romPath` whose package goes into `subfolder` (relative,
    // "/"-separated, "" for none): the one in that subfolder, else the one at the top;
    // "" when there is none.
    std::string Find(const std::string& romPath, const std::string& subfolder = "") const;
    bool empty() const { return byName_.empty(); }

  private:
    // Subfolder key + "/" + name key -> (rank of the extension, absolute path).
    std::map<std::string, std::pair<int, std::string>> byName_;
    void Add(const std::string& subfolder, const std::string& path);
};

// One line of a title list: a ROM's name and the lines of its menu title.
struct TitleEntry {
    std::string name;       // as written, less ".gba" when it ends with it
    std::string titles[3];  // an empty line 1 stands for the ROM's name
    int line = 0;           // its line in the list, from 1
};

// A title list that cannot be used; what() says where and why, in one line.
class TitleListError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads a title list: UTF-8 text (a byte order mark is passed over), one ROM a line, the
// ROM's name, then one to three title lines, separated by tabs; blank lines are passed
// over and "\r\n" ends a line as "\n" does. Throws TitleListError ("line 4: ...") for text
// that is not UTF-8, a line with no title or more than three, a title line of spaces alone,
// an empty title line before one with text, or a name listed twice.
std::vector<TitleEntry> ParseTitleList(const std::string& text);

// The entry for the ROM at `romPath`, or nullptr.
const TitleEntry* FindTitle(const std::vector<TitleEntry>& list, const std::string& romPath);

// Why the title lines `titles` cannot be shown as given, or "": a blank line before one
// with text would lose that text, since the menu ends at its first blank line.
std::string TitleLinesProblem(const std::string titles[3]);

}  // namespace pellix
