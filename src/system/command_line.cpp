// Windows command-line quoting and splitting, so one set of command literals serves all.
#include "system/command_line.h"

namespace pellix {

std::string QuoteArgument(const std::string& argument) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    // The closing quote must not be escaped by backslashes that end the argument.
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    const std::size_t n = commandLine.size();
    std::size_t i = 0;
    while (i < n && IsBlank(commandLine[i])) ++i;
    if (i == n) return args;

    // The program name: quotes toggle, backslashes are plain characters.
    std::string program;
    bool quoted = false;
    for (; i < n; ++i) {
        const char c = commandLine[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (IsBlank(c) && !quoted) {
            break;
        } else {
            program += c;
        }
    }
    args.push_back(program);

    for (;;) {
        while (i < n && IsBlank(commandLine[i])) ++i;
        if (i == n) break;
        std::string arg;
        quoted = false;
        while (i < n) {
            const char c = commandLine[i];
            if (c == '\\') {
                std::size_t run = 0;
                while (i < n && commandLine[i] == '\\') {
                    ++run;
                    ++i;
                }
                if (i < n && commandLine[i] == '"') {
                    arg.append(run / 2, '\\');
                    if (run % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(run, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
                continue;
            }
            if (IsBlank(c) && !quoted) break;
            arg += c;
            ++i;
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace pellix
