// Facts of the platform the program is built for, so code above this layer needs no #ifdef.
#pragma once

namespace pellix::os {

#ifdef _WIN32
constexpr bool kWindows = true;
constexpr char kPathSeparator = '\\';
constexpr const char* kExeSuffix = ".exe";
// Two names that differ only in case name one file.
constexpr bool kPathsIgnoreCase = true;
#else
constexpr bool kWindows = false;
constexpr char kPathSeparator = '/';
constexpr const char* kExeSuffix = "";
constexpr bool kPathsIgnoreCase = false;
#endif

}  // namespace pellix::os
