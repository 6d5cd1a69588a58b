#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace tamrel {

// The checksum of a saved index file: XXH3 (64 bits, seed 0) of the whole file in order, with
// the header's checksum field (8 bytes at SavedIndexHeader::checksumAt) read as zeros. Fed in
// pieces of any size, from the first byte of the file on. Not thread-safe; one per pass.
class SavedChecksum {
public:
    SavedChecksum();
    ~SavedChecksum();
    SavedChecksum(const SavedChecksum&) = delete;
    SavedChecksum& operator=(const SavedChecksum&) = delete;

    // The next `bytes` of the file.
    void add(std::span<const std::byte> bytes);
    // The checksum of what was added so far.
    std::uint64_t value() const;

private:
    struct State;
    std::unique_ptr<State> state_;
    std::uint64_t at_ = 0;  // file offset of the next byte
};

// Whether the saved file open at `fd` holds, byte for byte, what its checksum was computed
// over: it is `bytes` long and the checksum of its content equals the one in its header. Reads
// the whole file (pread, from the page cache when it is there), so it sees the file and not an
// index mapped from it, which removals change in memory. False on a read error.
bool savedFileIntact(int fd, std::uint64_t bytes);

}  // namespace tamrel
