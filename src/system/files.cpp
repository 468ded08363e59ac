// Error texts shared by both platforms' file services.
#include "system/files.h"

#include <cctype>

namespace pellix::os {

std::string ErrorReason(const std::error_code& error) {
    if (error == std::errc::no_such_file_or_directory) return "no such file";
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
        return "permission denied";
    if (error == std::errc::is_a_directory) return "it is a folder";
    if (error == std::errc::not_a_directory) return "a part of the path is not a folder";
    if (error == std::errc::no_space_on_device) return "the disk is full";
    if (error == std::errc::read_only_file_system) return "the disk is read-only";
    if (error == std::errc::file_exists) return "the file already exists";
    if (error == std::errc::filename_too_long) return "the name is too long";
    std::string text = error.message();
    // Windows ends its texts as sentences; a reason is read after a colon.
    while (!text.empty() &&
           (text.back() == '.' || text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string ErrorReason(int errnoValue) {
    return ErrorReason(std::error_code(errnoValue, std::generic_category()));
}

}  // namespace pellix::os
