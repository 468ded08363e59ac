// Quoting and splitting of command lines by the Windows rules, shared by every platform.
#pragma once

#include <string>
#include <vector>

namespace pellix {

// Encloses `argument` in double quotes so that SplitCommandLine (and any Windows
// program) reads it back unchanged: a run of backslashes before a quote or before the
// closing quote is doubled, and a quote is written as \".
std::string QuoteArgument(const std::string& argument);

// Splits a command line into arguments by the Windows rules. The first argument (the
// program) ends at a space or tab outside quotes and takes quotes as toggles only. The
// others: 2n backslashes before a quote give n backslashes and the quote toggles quoting;
// 2n+1 give n backslashes and a literal quote; backslashes elsewhere are literal; "" inside
// quotes gives a literal quote and stays quoted; "" outside quotes gives an empty argument.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace pellix
