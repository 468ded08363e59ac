// Deflate on a small pool of threads: fixed-size pieces, packed in any order, joined in order.
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "gzip/deflate_engine.h"

namespace pellix::gzip {

unsigned DefaultThreads() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void Deflate(const uint8_t* data, size_t size, int level, unsigned threads,
             std::vector<uint8_t>& out, size_t pieceSize) {
    pieceSize = std::max<size_t>(pieceSize, 1);
    const size_t pieces = size == 0 ? 1 : (size + pieceSize - 1) / pieceSize;
    if (threads == 0) threads = DefaultThreads();
    threads = static_cast<unsigned>(std::min<size_t>(threads, pieces));
    const auto bounds = [&](size_t i) {
        return std::pair<size_t, size_t>{i * pieceSize, std::min(size, (i + 1) * pieceSize)};
    };
    // Untouched room costs no memory, and a vector that doubles mid-way would need its old
    // and new copies at once.
    out.reserve(out.size() + size + size / 64 + 64 * pieces + 1024);
    if (threads <= 1) {
        for (size_t i = 0; i < pieces; ++i)
            DeflatePiece(data, bounds(i).first, bounds(i).second, size, level, out);
        return;
    }

    // Pieces are taken in order; a worker waits rather than run more than `ahead` pieces
    // past the oldest one not yet joined, so that memory stays bounded by the pieces in flight.
    const size_t ahead = 2 * size_t{threads};
    std::vector<std::vector<uint8_t>> done(pieces);
    std::vector<bool> ready(pieces, false);
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0, joined = 0;
    std::exception_ptr failure;
    const auto work = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return failure || next >= pieces || next < joined + ahead; });
            if (failure || next >= pieces) return;
            const size_t i = next++;
            lock.unlock();
            std::vector<uint8_t> piece;
            std::exception_ptr error;
            try {
                DeflatePiece(data, bounds(i).first, bounds(i).second, size, level, piece);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            if (error && !failure) failure = error;
            done[i] = std::move(piece);
            ready[i] = true;
            changed.notify_all();
        }
    };

    std::vector<std::thread> pool;
    std::exception_ptr startFailure;
    try {
        for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work);
    } catch (...) {
        // Without all its threads the work would still be right, but the user asked for
        // them: say so rather than go on quietly slower.
        startFailure = std::current_exception();
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure) failure = startFailure;
        changed.notify_all();
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!pool.empty() && !failure && joined < pieces) {
            changed.wait(lock, [&] { return failure || ready[joined]; });
            if (failure) break;
            std::vector<uint8_t> piece = std::move(done[joined]);
            ++joined;
            changed.notify_all();
            lock.unlock();
            try {
                out.insert(out.end(), piece.begin(), piece.end());
            } catch (...) {
                lock.lock();
                if (!failure) failure = std::current_exception();
                changed.notify_all();
                break;
            }
            lock.lock();
        }
        changed.notify_all();
    }
    for (std::thread& thread : pool) thread.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace pellix::gzip
