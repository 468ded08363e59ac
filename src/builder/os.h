// The few operating-system services the builder needs, one implementation per platform.
#pragma once

#include <string>

namespace pellix::os {

// Full path of the running executable; throws std::runtime_error when unknown.
std::string ExecutablePath();

// Makes `dir` the process's current directory (and, where drives exist, its drive the
// current drive). Throws modIO::FileError("cannot enter the folder DIR", reason).
void ChangeDirectory(const std::string& dir);

}  // namespace pellix::os
