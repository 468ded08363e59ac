// The error every reader and writer of the formats library throws.
#pragma once

#include <stdexcept>
#include <string>

namespace pellix::formats {

// A file could not be read, decoded or written; what() is one line saying why,
// without the program name (the tools prefix "PROGRAM: FILE: ").
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace pellix::formats
