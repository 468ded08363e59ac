// Shared fixture of the gzip tests: a scratch folder, file helpers and zlib's own inflate.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/program.h"
#include "support/scratch.h"

namespace pellix::gzip::testing {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using FileMap = std::map<std::string, Bytes>;  // name -> content

inline Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// What zlib's inflate makes of a gzip file, reading one member only, as the DS side does.
struct ZlibView {
    bool ok = false;      // one complete member with matching CRC and length
    Bytes data;           // what it unpacked to
    size_t leftOver = 0;  // bytes after the first member
    std::string error;    // zlib's complaint when !ok
};

inline ZlibView InflateWithZlib(const Bytes& file) {
    ZlibView view;
    z_stream z{};
    if (inflateInit2(&z, 16 + 15) != Z_OK) return view;  // 16: the gzip wrapper only
    z.next_in = const_cast<Bytef*>(file.data());
    z.avail_in = static_cast<uInt>(file.size());
    uint8_t chunk[1 << 16];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        view.data.insert(view.data.end(), chunk, chunk + (sizeof chunk - z.avail_out));
        if (status == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    view.ok = status == Z_STREAM_END;
    view.leftOver = z.avail_in;
    if (!view.ok) view.error = z.msg ? z.msg : "inflate status " + std::to_string(status);
    inflateEnd(&z);
    return view;
}

// A fresh scratch folder per test, removed afterwards (write permission given back first).
class GzipScratch : public ::testing::Test {
  protected:
    fs::path Path(const std::string& name) const { return dir_ / fs::u8path(name); }

    void Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    Bytes Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Every file in the folder with its content: what a run left behind.
    FileMap Files() const {
        FileMap files;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().u8string();
            files[name] = entry.is_directory() ? ToBytes("<folder>") : Read(name);
        }
        return files;
    }

    pellix::testing::RunResult Gzip(const std::vector<std::string>& args) const {
        return pellix::testing::RunProgram(GZIP_PROGRAM, args, dir_);
    }

    const pellix::testing::TempDir scratch_{"pellix-gzip"};
    const fs::path dir_ = scratch_.path();
};

}  // namespace pellix::gzip::testing
