// The folder of the running executable, from which every fixed path of the build starts.
#pragma once

#include <string>

namespace pellix {

// The directory holding the running executable, without a trailing separator (or the
// override set by SetApplicationDirectory). Throws std::runtime_error when the platform
// cannot tell.
std::string ApplicationDirectory();

// Makes ApplicationDirectory() return `dir` from now on; "" restores the real folder.
// Meant for tests that build inside a temporary installation.
void SetApplicationDirectory(const std::string& dir);

}  // namespace pellix
