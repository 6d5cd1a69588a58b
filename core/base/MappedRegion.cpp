#include "core/base/MappedRegion.h"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "core/base/BackgroundThread.h"
#include "core/base/ComputePool.h"

namespace tamrel {

namespace {

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

constexpr std::size_t prefaultPiece = 2 << 20;

// Faults in every page of a fresh region on all compute threads at once. Touching the pages one
// by one while writing took 25 of the 45 ms of a million-node refresh; asking the kernel for huge
// pages instead was sometimes faster and sometimes 400 ms, when it had to compact memory first.
void prefault(std::byte* p, std::size_t size) {
    const std::size_t pieces = (size + prefaultPiece - 1) / prefaultPiece;
    ComputePool::shared().run(pieces, [&](std::size_t i) {
        MappedRegion::populate(p + i * prefaultPiece,
                               std::min(prefaultPiece, size - i * prefaultPiece));
    });
}

// One region let go of, kept for the next Paging::reused region that fits in it, and unmapped
// when none has taken it after 15 s. Never destroyed: its thread runs until the process ends.
class Reserve {
public:
    struct Kept {
        std::byte* data;
        std::size_t size;
        std::size_t populated;
        std::chrono::steady_clock::time_point since;
    };

    static Reserve& shared() {
        static Reserve* const reserve = new Reserve;
        return *reserve;
    }

    // The kept region when it holds `size` bytes and is not more than twice as large.
    std::optional<Kept> take(std::size_t size) {
        std::lock_guard guard(lock_);
        if (!kept_ || kept_->size < size || kept_->size / 2 > size) return std::nullopt;
        return std::exchange(kept_, std::nullopt);
    }

    // Keeps a region, and unmaps the one kept before (older, and most likely of a generation
    // replaced twice since).
    void keep(std::byte* data, std::size_t size, std::size_t populated) {
        std::optional<Kept> old;
        {
            std::lock_guard guard(lock_);
            old = std::exchange(kept_, Kept{data, size, populated, Clock::now()});
            if (!dropper_.joinable()) {
                dropper_ = std::thread([this] {
                    becomeBackgroundThread();  // an unmap takes milliseconds
                    dropWhenStale();
                });
            }
        }
        wake_.notify_one();
        if (old) ::munmap(old->data, old->size);
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds keepFor{15};

    void dropWhenStale() {
        std::unique_lock guard(lock_);
        for (;;) {
            if (!kept_) {
                wake_.wait(guard);
            } else if (Clock::now() < kept_->since + keepFor) {
                wake_.wait_until(guard, kept_->since + keepFor);
            } else {
                const Kept stale = *std::exchange(kept_, std::nullopt);
                guard.unlock();
                ::munmap(stale.data, stale.size);
                guard.lock();
            }
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::optional<Kept> kept_;
    std::thread dropper_;
};

// Regions kept for reuse are mapped with room to grow: a refresh's next generation is often a
// little larger than the one before.
std::size_t withRoom(std::size_t size) {
    const std::size_t roomy = size + size / 16;
    return (roomy + (prefaultPiece - 1)) / prefaultPiece * prefaultPiece;
}

}  // namespace

MappedRegion& MappedRegion::operator=(MappedRegion&& other) noexcept {
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        populated_ = std::exchange(other.populated_, 0);
        reusable_ = std::exchange(other.reusable_, false);
    }
    return *this;
}

MappedRegion MappedRegion::anonymous(std::size_t size, Paging paging) {
    if (paging == Paging::reused) {
        if (const auto kept = Reserve::shared().take(size)) {
            MappedRegion region(kept->data, kept->size);
            region.reusable_ = true;
            region.populated_ = std::max(kept->populated, size);
            if (size > kept->populated)
                prefault(kept->data + kept->populated, size - kept->populated);
            return region;
        }
    }
    const std::size_t mapped = paging == Paging::reused ? withRoom(size) : size;
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0);
    if (p == MAP_FAILED) {
        throw std::system_error(errno, std::generic_category(), "cannot map index memory");
    }
    MappedRegion region(p, mapped);
    if (paging == Paging::small) {
        ::madvise(p, size, MADV_NOHUGEPAGE);
    } else {
        prefault(region.data_, size);
        region.populated_ = size;
        region.reusable_ = paging == Paging::reused;
    }
    return region;
}

void MappedRegion::populate(std::byte* p, std::size_t size) {
    // madvise wants a page-aligned start.
    const auto start = reinterpret_cast<std::uintptr_t>(p) & ~std::uintptr_t{4095};
    const std::size_t n = size + (reinterpret_cast<std::uintptr_t>(p) - start);
    if (size == 0 || ::madvise(reinterpret_cast<void*>(start), n, MADV_POPULATE_WRITE) == 0) {
        return;
    }
    // Kernels before 5.14 lack the advice: touch one byte a page. The bytes are zero or already
    // written, so writing back what is there changes nothing.
    for (std::uintptr_t at = start; at < start + n; at += 4096) {
        volatile unsigned char* b = reinterpret_cast<volatile unsigned char*>(
            std::max(at, reinterpret_cast<std::uintptr_t>(p)));
        *b = *b;
    }
}

void MappedRegion::reset() {
    if (data_ && reusable_) {
        Reserve::shared().keep(data_, size_, populated_);
    } else if (data_) {
        ::munmap(data_, size_);
    }
    data_ = nullptr;
    size_ = 0;
    populated_ = 0;
    reusable_ = false;
}

}  // namespace tamrel
