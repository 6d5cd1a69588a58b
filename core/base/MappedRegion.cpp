#include "core/base/MappedRegion.h"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

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

}  // namespace

MappedRegion& MappedRegion::operator=(MappedRegion&& other) noexcept {
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

MappedRegion MappedRegion::anonymous(std::size_t size, Paging paging) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0);
    if (p == MAP_FAILED) {
        throw std::system_error(errno, std::generic_category(), "cannot map index memory");
    }
    if (paging == Paging::small) {
        ::madvise(p, size, MADV_NOHUGEPAGE);
    } else {
        prefault(static_cast<std::byte*>(p), size);
    }
    return MappedRegion(p, size);
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
    if (data_) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace tamrel
