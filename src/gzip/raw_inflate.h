// A zlib inflate stream for raw deflate data, ended however its scope is left.
#pragma once

#include <zlib.h>

#include <new>

namespace pellix::gzip {

struct RawInflate {
    // -15: raw deflate (no zlib or gzip wrapper) with the full 32 KiB window.
    RawInflate() {
        if (inflateInit2(&z, -15) != Z_OK) throw std::bad_alloc();
    }
    ~RawInflate() { inflateEnd(&z); }
    RawInflate(const RawInflate&) = delete;
    RawInflate& operator=(const RawInflate&) = delete;

    z_stream z{};
};

}  // namespace pellix::gzip
