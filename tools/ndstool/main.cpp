// ndstool: -c makes a DS program file from ARM images, a folder and an icon; -i and -l read one.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "formats/file_bytes.h"
#include "formats/nds_reader.h"
#include "formats/nds_writer.h"

namespace {

const char kUsage[] =
    "usage: ndstool -c FILE.nds -9 ARM9.bin -7 ARM7.bin [-d FOLDER] [-g CODE [MAKER [TITLE "
    "[VERSION]]]]"
    " [-b ICON.bmp TEXT | -bl ICON.bmp LINES] | -i FILE.nds | -l FILE.nds";

int Usage() {
    std::fprintf(stderr, "%s\n", kUsage);
    return 2;
}

int Fail(const std::string& file, const std::string& problem) {
    std::fprintf(stderr, "ndstool: %s: %s\n", file.c_str(), problem.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pellix::formats;
    const std::vector<std::string> args(argv + 1, argv + argc);
    NdsRequest request;
    std::string readPath;
    bool describe = false, list = false, create = false;
    std::string romVersion;
    // An optional argument is taken only when the next one does not start with '-'.
    auto optional = [&](size_t& i, std::string& into) {
        if (i + 1 < args.size() && (args[i + 1].empty() || args[i + 1][0] != '-')) into = args[++i];
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if ((a == "-c" || a == "-7" || a == "-9" || a == "-d" || a == "-i" || a == "-l" ||
             a == "-g") &&
            !hasValue) {
            return Usage();
        }
        if (a == "-c") {
            create = true;
            request.output = args[++i];
        } else if (a == "-9") {
            request.arm9 = args[++i];
        } else if (a == "-7") {
            request.arm7 = args[++i];
        } else if (a == "-d") {
            request.dataFolder = args[++i];
        } else if (a == "-i" || a == "-l") {
            (a == "-i" ? describe : list) = true;
            readPath = args[++i];
        } else if (a == "-g") {
            request.info.gameCode = args[++i];
            optional(i, request.info.makerCode);
            optional(i, request.info.title);
            optional(i, romVersion);
        } else if (a == "-b" || a == "-bl") {
            // -b takes the classic "Line 1;Line 2"; -bl takes lines separated by line
            // breaks, so that a ';' can be part of a line.
            if (i + 2 >= args.size()) return Usage();
            request.withBanner = true;
            request.semicolonIsText = a == "-bl";
            request.icon = args[++i];
            request.bannerText = args[++i];
        } else {
            return Usage();
        }
    }
    if (create + describe + list != 1) return Usage();

    if (!create) {
        try {
            const NdsPackage package = ReadNdsFile(readPath);
            const std::string text = describe ? DescribeNds(package) : ListNdsFiles(package);
            std::fwrite(text.data(), 1, text.size(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        } catch (const FileError& e) {
            return Fail(e.file(), e.what());
        } catch (const std::exception& e) {
            return Fail(readPath, e.what());
        }
    }

    if (request.arm9.empty() || request.arm7.empty() || request.output.empty()) return Usage();
    if (!romVersion.empty()) {
        char* end = nullptr;
        errno = 0;
        const unsigned long value = std::strtoul(romVersion.c_str(), &end, 0);
        if (*end != '\0' || errno != 0 || value > 255) {
            return Fail(request.output, "the ROM version must be a number from 0 to 255, not \"" +
                                            romVersion + "\"");
        }
        request.info.romVersion = static_cast<uint8_t>(value);
    }
    try {
        WriteNds(request);
    } catch (const FileError& e) {
        return Fail(e.file(), e.what());
    } catch (const std::exception& e) {
        return Fail(request.output, e.what());
    }
    return 0;
}
