#pragma once

#include <cstddef>
#include <utility>

namespace tamrel {

// Owns one memory mapping and unmaps it when destroyed. Move-only.
class MappedRegion {
public:
    MappedRegion() = default;
    // Takes ownership of a mapping made with mmap.
    MappedRegion(void* data, std::size_t size)
        : data_(static_cast<std::byte*>(data)), size_(size) {}
    MappedRegion(MappedRegion&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          populated_(std::exchange(other.populated_, 0)),
          reusable_(std::exchange(other.reusable_, false)) {}
    MappedRegion& operator=(MappedRegion&& other) noexcept;
    MappedRegion(const MappedRegion&) = delete;
    MappedRegion& operator=(const MappedRegion&) = delete;
    ~MappedRegion() { reset(); }

    // How the pages of an anonymous region are faulted in.
    enum class Paging {
        // 4 KiB pages, resident only once written: a region filled while the memory that feeds
        // it is released stays small (a fresh scan of a million entries peaks at about 90 MB;
        // with huge pages the whole region is resident at once and the peak is 118 MB).
        small,
        // Every page faulted in up front, in parallel: for a region written from memory that
        // stays (a refresh copying the old index), where faulting page by page took over half
        // the time.
        prefault,
        // As prefault, but the bytes are left as they are: a region of this kind let go of in
        // the last 15 s (a disk that never falls quiet is refreshed every 10 s), and large
        // enough, is taken again instead of a new one, its pages in place. For a refresh, which
        // writes every byte it uses: a new region of 168 MB costs 40 ms of faulting and zeroing
        // and 6 ms of unmapping, each time.
        reused,
    };

    // Maps `size` bytes of private, read-write memory, zero-filled unless `paging` is reused.
    // Throws std::system_error with the mmap error when the kernel refuses (a very large
    // capacity).
    //
    // Thread safety: any thread may map and let go of regions; the regions kept for reuse are
    // guarded by a lock of their own, and unmapped by a thread of their own when not taken.
    static MappedRegion anonymous(std::size_t size, Paging paging = Paging::small);

    // Faults in the pages of [p, p + size), inside some mapping, in one call.
    static void populate(std::byte* p, std::size_t size);

    std::byte* data() const { return data_; }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }

    void reset();

private:
    std::byte* data_ = nullptr;
    std::size_t size_ = 0;       // bytes mapped
    std::size_t populated_ = 0;  // of those, faulted in up front
    bool reusable_ = false;      // kept for Paging::reused when let go of
};

}  // namespace tamrel
