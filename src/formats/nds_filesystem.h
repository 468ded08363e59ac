// The DS file system of a package: a folder's tree in a fixed order, and its name table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellix::formats {

// One file of the tree; its file id is its index in NdsFileSystem::files.
struct NdsFsFile {
    std::string name;    // name bytes as stored in the name table
    std::string path;    // path below the root, '/'-separated ("sub/a.txt")
    std::string source;  // where the data is read from
    uint64_t size = 0;   // size when the folder was scanned
};

// One directory; its id is 0xF000 + its index in NdsFileSystem::dirs (the root is first).
struct NdsFsDir {
    std::string name;          // empty for the root
    size_t parent = 0;         // index of the parent (the root's is itself)
    uint16_t firstFileId = 0;  // its files have consecutive ids from here
    uint16_t fileCount = 0;
    std::vector<size_t> subdirs;  // indices, in name order
};

struct NdsFileSystem {
    std::vector<NdsFsDir> dirs;
    std::vector<NdsFsFile> files;
};

// An empty file system: the root directory alone.
NdsFileSystem EmptyFileSystem();

// Scans `folder` into a file system, every entry included (names starting with '.' too:
// whatever the folder holds was put there to be packed); each folder's
// entries are sorted by plain byte comparison, and directory and file ids are given in
// that sorted depth-first walk, so the result does not depend on the disk.
// Throws FileError naming the entry for an unreadable folder, an entry that is neither a
// file nor a folder, a name over 127 bytes, or more folders or files than ids exist.
NdsFileSystem ScanFolder(const std::string& folder);

// The file name table: one 8-byte main entry per directory, then the sub-tables.
std::vector<uint8_t> BuildFnt(const NdsFileSystem& fs);

}  // namespace pellix::formats
