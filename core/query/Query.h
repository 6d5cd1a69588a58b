#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/query/FileKind.h"

namespace tamrel {

// A parsed line of the search language: words tested against names, and filters by extension
// ("ext:"), folder or file ("type:"), kind ("kind:"), size ("size:"), age ("mtime:") and folder
// ("in:"). Parsing never fails: what cannot be understood is ignored or taken as a word.
// A plain value; safe to share between threads once built.
struct Query {
    struct Word {
        enum class Mode : std::uint8_t { contains, prefix, suffix, exact };

        std::string bytes;  // the lowercased word as UTF-8, never empty
        Mode mode = Mode::contains;
        bool negate = false;  // the name must not match

        friend bool operator==(const Word&, const Word&) = default;
    };

    std::vector<Word> words;        // all must hold
    std::vector<std::string> exts;  // allowed extensions, lowercase UTF-8 bytes
    std::optional<bool> onlyDirs;   // true: folders only; false: everything but folders
    std::set<FileKind> kinds;       // allowed kinds
    std::uint64_t minSize = 0;      // inclusive
    std::uint64_t maxSize = std::numeric_limits<std::uint64_t>::max();  // inclusive
    std::uint32_t before = std::numeric_limits<std::uint32_t>::max();   // mtime below this
    std::uint32_t after = 0;                                            // mtime at least this
    std::optional<std::string> scope;  // folder to search in place of the caller's
    std::uint32_t need = 0;            // name-mask bits of the words that are not negated
    RuleSet rules = RuleSet::designed;  // the file kinds "kind:" tests with (not parsed)

    // The defaults: matches nothing (isEmpty()).
    Query() = default;

    // Parses `text`; `home` stands for a leading "~" of "in:", `now` is what "mtime:" counts
    // back from.
    Query(std::string_view text, std::string_view home, std::chrono::system_clock::time_point now);

    // A size text such as "1.5gb", "500k" or "100" (decimal units; no unit is bytes): the byte
    // count truncated toward zero, 0 for negative values and the largest value beyond it; nothing
    // when the number does not parse or is not finite ("nan", "inf", "1e999").
    static std::optional<std::uint64_t> bytes(std::string_view text);

    // An age text such as "90d", "2w" or "30m" (y, w, d, h, m for minutes; no unit is days): the
    // seconds; nothing when the number does not parse or is not finite.
    static std::optional<double> seconds(std::string_view text);

    // True when nothing but perhaps a scope was given: such a query has no results.
    bool isEmpty() const;

    friend bool operator==(const Query&, const Query&) = default;
};

}  // namespace tamrel
