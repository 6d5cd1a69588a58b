#include "core/query/Query.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "core/index/NameMask.h"
#include "core/base/TextCase.h"

namespace tamrel {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal floating-point number: optional sign, digits with an optional fraction, optional
// exponent, nothing around it. Not "nan", "inf" or hexadecimal, and nothing that overflows to
// infinity ("1e999"): a value that is not finite must never reach an integer conversion.
std::optional<double> parseNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t intStart = i;
    while (i < s.size() && isDigit(s[i]))
        ++i;
    const std::string_view intPart = s.substr(intStart, i - intStart);
    std::string_view fracPart;
    if (i < s.size() && s[i] == '.') {
        const std::size_t fracStart = ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i;
        fracPart = s.substr(fracStart, i - fracStart);
    }
    if (intPart.empty() && fracPart.empty()) return std::nullopt;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
        const std::size_t expStart = i;
        while (i < s.size() && isDigit(s[i])) {
            if (exponent < 1'000'000) exponent = exponent * 10 + (s[i] - '0');
            ++i;
        }
        if (i == expStart) return std::nullopt;
        if (negative) exponent = -exponent;
    }
    if (i != s.size()) return std::nullopt;

    // from_chars takes no leading "+".
    const std::string_view body = s.front() == '+' ? s.substr(1) : s;
    double value = 0;
    const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Out of range either way: beyond the largest double (not finite, so no number) or
        // below the smallest (zero). The power of ten of the first significant digit tells.
        long long magnitude = 0;
        const std::size_t firstInt = intPart.find_first_not_of('0');
        if (firstInt != std::string_view::npos) {
            magnitude = static_cast<long long>(intPart.size() - firstInt) - 1;
        } else {
            magnitude = -static_cast<long long>(fracPart.find_first_not_of('0')) - 1;
        }
        if (magnitude + exponent > 0) return std::nullopt;
        return 0.0;
    }
    if (error != std::errc() || end != body.data() + body.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

struct Unit {
    std::string_view suffix;
    double multiplier;
};

// The number before the first of `units` that lowercased `text` ends with, times that unit (times
// `plain` when it ends with none); nothing when the number does not parse. The product may be
// infinite ("1e300tb"), never NaN.
std::optional<double> scaled(std::string_view text, std::span<const Unit> units, double plain) {
    const std::string lower = lowercase(text);
    const std::string_view t = lower;
    for (const Unit& u : units) {
        if (t.ends_with(u.suffix)) {
            const std::optional<double> n = parseNumber(t.substr(0, t.size() - u.suffix.size()));
            if (!n) return std::nullopt;
            return *n * u.multiplier;
        }
    }
    const std::optional<double> n = parseNumber(t);
    if (!n) return std::nullopt;
    return *n * plain;
}

constexpr Unit byteUnits[] = {{"tb", 1e12}, {"gb", 1e9}, {"mb", 1e6}, {"kb", 1e3}, {"t", 1e12},
                              {"g", 1e9},   {"m", 1e6},  {"k", 1e3},  {"b", 1}};
constexpr Unit ageUnits[] = {
    {"y", 31'536'000}, {"w", 604'800}, {"d", 86'400}, {"h", 3'600}, {"m", 60}};

// Truncation toward zero into 0 .. max: negative gives 0, beyond max (infinity included) gives
// max; NaN, which the parser never lets through, would give 0.
template <typename T>
T clampedTruncation(double x) {
    constexpr double limit = static_cast<double>(std::numeric_limits<T>::max()) + 1.0;  // 2^bits
    if (!(x > 0)) return 0;
    if (x >= limit) return std::numeric_limits<T>::max();
    return static_cast<T>(x);
}

// The token without its first `chars` characters, when it has more than that. Those characters
// lowercase to an ASCII keyword, so they are well-formed and their lead bytes give their lengths;
// whatever follows them, even a stray continuation byte, belongs to the value.
std::optional<std::string_view> valueAfter(std::string_view token, std::size_t chars) {
    std::size_t at = 0;
    for (std::size_t seen = 0; seen < chars && at < token.size(); ++seen) {
        const unsigned char c = static_cast<unsigned char>(token[at]);
        at += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    }
    if (at >= token.size()) return std::nullopt;
    return token.substr(at);
}

// "<" or ">" at the front of a value: (is "<", the number text). Without one, ">".
std::pair<bool, std::string_view> comparison(std::string_view v) {
    if (!v.empty() && (v.front() == '<' || v.front() == '>'))
        return {v.front() == '<', v.substr(1)};
    return {false, v};
}

void addWord(Query& q, std::string w) {
    bool negate = false;
    if (w.starts_with('!')) {
        w.erase(0, 1);
        negate = true;
    }
    Query::Word::Mode mode = Query::Word::Mode::contains;
    if (w.starts_with('\'') || w.starts_with('"')) {
        w.erase(0, 1);
        if (w.ends_with('\'') || w.ends_with('"')) w.pop_back();
        mode = Query::Word::Mode::exact;
    } else if (w.starts_with('^')) {
        w.erase(0, 1);
        mode = Query::Word::Mode::prefix;
    } else if (w.ends_with('$')) {
        w.pop_back();
        mode = Query::Word::Mode::suffix;
    }
    if (w.empty()) return;
    if (!negate) q.need |= NameMask::of(w);
    q.words.push_back({std::move(w), mode, negate});
}

}  // namespace

std::optional<std::uint64_t> Query::bytes(std::string_view text) {
    const std::optional<double> n = scaled(text, byteUnits, 1);
    if (!n) return std::nullopt;
    return clampedTruncation<std::uint64_t>(*n);
}

std::optional<double> Query::seconds(std::string_view text) {
    return scaled(text, ageUnits, 86'400);
}

Query::Query(std::string_view text, std::string_view home,
             std::chrono::system_clock::time_point now) {
    const double nowSeconds = std::chrono::duration<double>(now.time_since_epoch()).count();
    for (const std::string_view token : splitNonEmpty(text, ' ')) {
        const std::string lt = lowercase(token);
        auto keyword = [&](std::string_view k) -> std::optional<std::string_view> {
            if (!std::string_view(lt).starts_with(k)) return std::nullopt;
            return valueAfter(token, k.size());
        };
        if (const auto v = keyword("ext:")) {
            const std::string list = lowercase(*v);
            for (const std::string_view e : splitNonEmpty(list, ','))
                exts.emplace_back(e);
        } else if (const auto v = keyword("type:")) {
            const std::string t = lowercase(*v);
            if (t.starts_with('d') || t.starts_with("fo")) {
                onlyDirs = true;
            } else if (t.starts_with('f')) {
                onlyDirs = false;
            }
        } else if (const auto v = keyword("kind:")) {
            const std::string t = lowercase(*v);
            for (FileKind k : FileKind::allCases()) {
                if (lowercase(k.rawValue()).starts_with(t) || lowercase(k.label()).starts_with(t)) {
                    kinds.insert(k);
                }
            }
        } else if (const auto v = keyword("size:")) {
            const auto [less, number] = comparison(*v);
            if (const std::optional<std::uint64_t> b = bytes(number))
                (less ? maxSize : minSize) = *b;
        } else if (const auto v = keyword("mtime:")) {
            const auto [less, number] = comparison(*v);
            if (const std::optional<double> s = seconds(number)) {
                (less ? after : before) = clampedTruncation<std::uint32_t>(nowSeconds - *s);
            }
        } else if (const auto v = keyword("in:")) {
            scope = v->starts_with('~') ? std::string(home) + std::string(v->substr(1))
                                        : std::string(*v);
        } else {
            addWord(*this, lt);
        }
    }
}

bool Query::isEmpty() const {
    return words.empty() && exts.empty() && kinds.empty() && !onlyDirs && minSize == 0 &&
           maxSize == std::numeric_limits<std::uint64_t>::max() &&
           before == std::numeric_limits<std::uint32_t>::max() && after == 0;
}

}  // namespace tamrel
