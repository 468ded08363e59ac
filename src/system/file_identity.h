// Which file a name leads to, so two names of one file (hard links too) are known as one.
#pragma once

#include <cstdint>
#include <string>

namespace pellix::os {

// A file's identity on its disk: the same for every name of the file, links of either
// kind included, and different for any two files that exist at the same time.
struct FileIdentity {
    bool known = false;  // false when the file cannot be looked at
    std::uint64_t volume = 0;
    std::uint64_t file = 0;

    bool SameFileAs(const FileIdentity& other) const {
        return known && other.known && volume == other.volume && file == other.file;
    }
};

// The identity of the file `path` (UTF-8) names, links followed; not known when nothing
// is there or it cannot be looked at.
FileIdentity IdentifyFile(const std::string& path);

}  // namespace pellix::os
