#include "core/MappedRegion.h"

#include <sys/mman.h>

#include <cerrno>
#include <system_error>

namespace tamrel {

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
    ::madvise(p, size, paging == Paging::huge ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
    return MappedRegion(p, size);
}

void MappedRegion::reset() {
    if (data_) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace tamrel
