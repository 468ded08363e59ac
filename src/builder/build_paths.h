// The path rules shared by every build and batch: separators, case, keys and where packages go.
#pragma once

#include <filesystem>
#include <string>

#include "system/platform.h"

namespace pellix::paths {

constexpr char kSeparator = os::kPathSeparator;
constexpr const char* kProgramSuffix = os::kExeSuffix;
constexpr bool kIgnoreCase = os::kPathsIgnoreCase;
// The variable that names the temporary folder, for a user whose folder cannot be written.
constexpr const char* kTemporaryFolderVariable = os::kWindows ? "TMP" : "TMPDIR";

// Whether `c` separates path components here: "/" everywhere, "\" too on Windows. On
// other systems a backslash is a character of a name like any other.
inline bool IsSeparator(char c) {
    return c == '/' || (os::kWindows && c == '\\');
}

// The names a build writes into the top of its data folder, which the user's files of
// bin/data may therefore not have.
constexpr const char* kBuildDataNames[] = {"game", "game.gz", "game.gba", "border.lz7", "mode.txt"};

// Whether the data-folder entry `name` is one of kBuildDataNames (ignoring case where
// names do).
bool IsBuildDataName(const std::string& name);

// Whether the data-folder entry `name` is a working file our own programs leave behind
// when stopped midway: what gzip and the other writers write under before renaming
// (os::AtomicFile's ".px1a2b3c4d", or the final name, a dot, eight hex digits and ".tmp",
// as in "border.lz7.1a2b3c4d.tmp"). Such files are never packed.
bool IsBuildLeftover(const std::string& name);

// `path` made absolute: a relative one is taken from `base` (itself absolute), so the
// result never depends on the process's current directory.
std::filesystem::path Absolute(const std::string& path, const std::filesystem::path& base);

// A key under which two names of one file compare equal: absolute, symbolic links
// resolved as far as they exist, normalised, and folded to lower case where names ignore it.
std::string FileKey(const std::filesystem::path& path);

// Whether `inner` is `outer` or lies below it, compared by FileKey.
bool IsInside(const std::filesystem::path& inner, const std::filesystem::path& outer);

// `folder` with one trailing separator ("" stays "").
std::string WithSeparator(const std::string& folder);

// `path` without trailing separators (a root keeps its own).
std::string WithoutTrailingSeparator(std::string path);

// Where the package goes: the output folder, a separator unless the folder is empty or
// already ends in one ("/" or "\"), the ROM's base name less ".gba" (any case), ".nds".
std::string OutputPath(const std::string& outputFolder, const std::string& romPath);

// Why a package may not be delivered to `output` (absolute) of the installation `appDir`,
// or "" when it may: a package in bin/data or in the user's data folder (UserFolder) would
// be packed into every later package, and
// one anywhere in bin would sit among the installation's own files. An empty output
// folder (`outputFolderGiven` false) means bin itself, the design's place for it.
std::string OutputProblem(const std::string& appDir, const std::string& output,
                          bool outputFolderGiven);

}  // namespace pellix::paths
