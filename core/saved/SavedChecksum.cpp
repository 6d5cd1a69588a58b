#include "core/saved/SavedChecksum.h"

#include <fcntl.h>
#include <unistd.h>
#include <xxhash.h>
#if defined(__x86_64__)
// The library picks the widest vector unit the processor has (AVX2, AVX-512) at run time: 56 MB
// in 5.5 ms here against 9 ms for its plain SSE2 build. The result is the same.
#include <xxh_x86dispatch.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <optional>
#include <vector>

#include "core/saved/SavedIndexHeader.h"

namespace tamrel {

namespace {

// Reads of 1 MiB: large enough that the calls cost nothing beside the copy, small enough to
// stay in the cache while they are hashed.
constexpr std::size_t readBytes = std::size_t{1} << 20;

constexpr std::uint64_t fieldFrom = SavedIndexHeader::checksumAt;
constexpr std::uint64_t fieldTo = fieldFrom + 8;

}  // namespace

struct SavedChecksum::State {
    XXH3_state_t* xxh = XXH3_createState();
    ~State() { XXH3_freeState(xxh); }
};

SavedChecksum::SavedChecksum() : state_(std::make_unique<State>()) {
    if (!state_->xxh) throw std::bad_alloc();
    XXH3_64bits_reset(state_->xxh);
}

SavedChecksum::~SavedChecksum() = default;

void SavedChecksum::add(std::span<const std::byte> bytes) {
    const std::uint64_t from = at_, to = at_ + bytes.size();
    at_ = to;
    if (to <= fieldFrom || from >= fieldTo) {
        XXH3_64bits_update(state_->xxh, bytes.data(), bytes.size());
        return;
    }
    // The piece covers some of the checksum field: those bytes count as zeros.
    static constexpr std::array<std::byte, 8> zeros{};
    const std::uint64_t zeroFrom = std::max(from, fieldFrom), zeroTo = std::min(to, fieldTo);
    XXH3_64bits_update(state_->xxh, bytes.data(), zeroFrom - from);
    XXH3_64bits_update(state_->xxh, zeros.data(), zeroTo - zeroFrom);
    XXH3_64bits_update(state_->xxh, bytes.data() + (zeroTo - from), to - zeroTo);
}

std::uint64_t SavedChecksum::value() const {
    return XXH3_64bits_digest(state_->xxh);
}

bool savedFileIntact(int fd, std::uint64_t bytes) {
    if (bytes < SavedIndexHeader::pageBytes) return false;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<std::byte> buffer(readBytes);
    SavedChecksum sum;
    std::optional<std::uint64_t> stored;
    std::uint64_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        const auto got = static_cast<std::size_t>(n);
        if (at == 0) {
            if (got < SavedIndexHeader::pageBytes) return false;  // read the page whole first
            stored = SavedIndexHeader::decodeChecksum(std::span(buffer.data(), got));
            if (!stored) return false;
        }
        sum.add(std::span(buffer.data(), got));
        at += got;
        if (at > bytes) return false;
    }
    return at == bytes && stored && sum.value() == *stored;
}

}  // namespace tamrel
