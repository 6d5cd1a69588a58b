#include "core/query/Search.h"

#include <array>
#include <chrono>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "core/base/Chunks.h"
#include "core/base/ComputePool.h"
#include "core/index/NameMask.h"
#include "core/query/TopK.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

using Mode = Query::Word::Mode;

// Names are compared with their ASCII capitals folded; every other byte stays as it is.
constexpr std::array<std::uint8_t, 256> asciiFold = [] {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = static_cast<std::uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return t;
}();

// name[0 .. n) folded equals word[0 .. n).
bool equalFolded(const std::uint8_t* name, const char* word, std::size_t n) {
    for (std::size_t j = 0; j < n; ++j) {
        if (asciiFold[name[j]] != static_cast<std::uint8_t>(word[j])) return false;
    }
    return true;
}

bool wordHolds(const std::uint8_t* name, std::size_t length, const Query::Word& word) {
    const std::size_t m = word.bytes.size();
    if (m > length) return false;
    if (m == 0) return word.mode != Mode::exact || length == 0;  // parsed words are never empty
    const char* w = word.bytes.data();
    switch (word.mode) {
        case Mode::contains: {
            const std::uint8_t first = static_cast<std::uint8_t>(w[0]);
            for (std::size_t at = 0; at + m <= length; ++at) {
                if (asciiFold[name[at]] == first && equalFolded(name + at + 1, w + 1, m - 1)) {
                    return true;
                }
            }
            return false;
        }
        case Mode::prefix:
            return equalFolded(name, w, m);
        case Mode::suffix:
            return equalFolded(name + length - m, w, m);
        case Mode::exact:
            return m == length && equalFolded(name, w, m);
    }
    return false;
}

// The tests of one query, with the groups it does not use switched off once.
class Matcher {
public:
    Matcher(const DiskIndex& index, const Query& query)
        : index_(index),
          query_(query),
          masks_(index.masks().data()),
          mtimes_(index.mtimes().data()),
          offsets_(index.nameOffsets().data()),
          names_(index.nameData().data()),
          sizeTest_(query.minSize != 0 ||
                    query.maxSize != std::numeric_limits<std::uint64_t>::max()),
          timeTest_(query.before != std::numeric_limits<std::uint32_t>::max() || query.after != 0),
          typeTest_(query.onlyDirs || !query.exts.empty() || !query.kinds.empty()) {
        for (FileKind k : query.kinds)
            kinds_ |= 1u << k;
    }

    // The matcher's tests in order of cost; the first that fails rejects.
    bool matches(NodeId i) const {
        const std::uint32_t need = query_.need;
        if ((masks_[i] & need) != need) return false;
        const std::uint8_t kind = index_.kind(i);
        if (kind & Flag::removed) return false;
        if (sizeTest_) {
            const std::uint64_t s = index_.size(i);
            if (s < query_.minSize || s > query_.maxSize) return false;
        }
        if (timeTest_) {
            const std::uint32_t t = mtimes_[i];
            if (t < query_.after || t >= query_.before) return false;
        }
        const std::uint8_t* name = names_ + offsets_[i];
        const std::size_t length = offsets_[i + 1] - offsets_[i];
        if (typeTest_ && !typeHolds(i, kind, name, length)) return false;
        for (const Query::Word& word : query_.words) {
            if (wordHolds(name, length, word) == word.negate) return false;
        }
        return true;
    }

private:
    bool typeHolds(NodeId i, std::uint8_t kind, const std::uint8_t* name,
                   std::size_t length) const {
        if (query_.onlyDirs) {
            const bool isDir = (kind & Flag::kindMask) == static_cast<std::uint8_t>(Kind::dir);
            if (isDir != *query_.onlyDirs) return false;
        }
        if (query_.exts.empty() && kinds_ == 0) return true;
        // No dot, or the only dot first: no extension. The mask knows whether there is a dot.
        // Such a name has no kind but a program's on the Linux set.
        const void* dot =
            (masks_[i] & NameMask::dot) ? ::memrchr(name, '.', length) : nullptr;
        if (dot == nullptr || dot == name) {
            return query_.exts.empty() && (kinds_ & (1u << FileKind::app)) &&
                   FileKind::isProgramWithoutExt(
                       {reinterpret_cast<const char*>(name), length}, kind, query_.rules);
        }
        const std::uint8_t* ext = static_cast<const std::uint8_t*>(dot) + 1;
        const std::size_t extLength = length - static_cast<std::size_t>(ext - name);
        if (!query_.exts.empty()) {
            bool any = false;
            for (const std::string& e : query_.exts) {
                if (e.size() == extLength && equalFolded(ext, e.data(), extLength)) {
                    any = true;
                    break;
                }
            }
            if (!any) return false;
        }
        if (kinds_ != 0) {
            const FileKind k = FileKind::ofEntry({reinterpret_cast<const char*>(name), length},
                                                 kind, query_.rules);
            if (!(kinds_ & (1u << k))) return false;
        }
        return true;
    }

    const DiskIndex& index_;
    const Query& query_;
    const std::uint32_t* masks_;
    const std::uint32_t* mtimes_;
    const std::uint32_t* offsets_;
    const std::uint8_t* names_;
    bool sizeTest_;
    bool timeTest_;
    bool typeTest_;
    std::uint32_t kinds_ = 0;
};

}  // namespace

SearchResult search(const DiskIndex& index, const Query& query, NodeId under, std::size_t limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    if (query.isEmpty()) return {};
    if (query.scope) {
        const std::optional<NodeId> found = index.lookup(*query.scope);
        if (!found) return {};
        under = *found;
    }
    const Chunks chunks = Chunks::split(index.subtree(under), searchChunk, searchMaxChunks);
    std::vector<TopK> tops(chunks.count, TopK(1));  // each chunk stores its own collector here
    std::vector<std::size_t> counts(chunks.count, 0);
    SearchResult result;
    {
        std::shared_lock lock(index.lock());
        const Matcher matcher(index, query);
        ComputePool::shared().run(chunks.count, [&](std::size_t c) {
            TopK top(limit);
            std::size_t count = 0;
            for (NodeId i : chunks[c]) {
                if (!matcher.matches(i)) continue;
                ++count;
                top.offer(i, index.size(i));
            }
            tops[c] = std::move(top);
            counts[c] = count;
        });
        for (std::size_t count : counts)
            result.total += count;
        result.ids = mergeTopK(index, limit, tops);
    }
    if (result.ids.size() > limit) result.ids.resize(limit);
    result.elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

SearchResult search(const DiskIndex& index, std::string_view text, NodeId under,
                    std::size_t limit, RuleSet rules) {
    Query query(text, homeDirectory(), std::chrono::system_clock::now());
    query.rules = rules;
    return search(index, query, under, limit);
}

}  // namespace tamrel
