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
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    MappedRegion& operator=(MappedRegion&& other) noexcept;
    MappedRegion(const MappedRegion&) = delete;
    MappedRegion& operator=(const MappedRegion&) = delete;
    ~MappedRegion() { reset(); }

    // Maps `size` bytes of zero-filled, private, read-write memory. Throws std::system_error with
    // the mmap error when the kernel refuses (a very large capacity).
    static MappedRegion anonymous(std::size_t size);

    std::byte* data() const { return data_; }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }

    void reset();

private:
    std::byte* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace tamrel
