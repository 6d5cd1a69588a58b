// ExpectedItem as one program argument (declared in TrashMover.h).

#include <algorithm>
#include <charconv>

#include "platform/TrashMover.h"

namespace tamrel {

namespace {

constexpr std::string_view typeWords[] = {"file", "folder", "link", "other"};

template <class T>
bool readNumber(std::string_view text, T& out) {
    const auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), out);
    return err == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::string expectedArgument(const ExpectedItem& expected) {
    std::string out = "type=";
    out += typeWords[static_cast<int>(expected.type)];
    if (expected.file) {
        out += ",device=" + std::to_string(expected.file->first);
        out += ",inode=" + std::to_string(expected.file->second);
    }
    if (expected.born) {
        const std::string nanoseconds = std::to_string(expected.born->second);
        out += ",born=" + std::to_string(expected.born->first) + "." +
               std::string(9 - std::min<std::size_t>(nanoseconds.size(), 9), '0') + nanoseconds;
    }
    if (expected.generation) out += ",generation=" + std::to_string(*expected.generation);
    if (expected.allocated) out += ",allocated=" + std::to_string(*expected.allocated);
    if (expected.mtime) out += ",mtime=" + std::to_string(*expected.mtime);
    if (!expected.mounts.empty()) {
        out += ",mounts=";
        for (std::size_t i = 0; i < expected.mounts.size(); ++i)
            out += (i ? "/" : "") + std::to_string(expected.mounts[i]);
    }
    return out;
}

std::optional<ExpectedItem> parseExpectedArgument(std::string_view text) {
    ExpectedItem out;
    bool typed = false;
    std::optional<dev_t> device;
    std::optional<ino_t> inode;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view field = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const std::size_t eq = field.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        const std::string_view key = field.substr(0, eq);
        const std::string_view value = field.substr(eq + 1);
        bool read = false;
        if (key == "type") {
            for (std::size_t t = 0; t < std::size(typeWords); ++t) {
                if (value == typeWords[t]) {
                    out.type = static_cast<ExpectedItem::Type>(t);
                    read = typed = true;
                }
            }
        } else if (key == "device") {
            read = readNumber(value, device.emplace());
        } else if (key == "inode") {
            read = readNumber(value, inode.emplace());
        } else if (key == "born") {
            // Seconds, a point and nine digits of nanoseconds.
            const std::size_t point = value.find('.');
            auto& [seconds, nanoseconds] = out.born.emplace();
            read = point != std::string_view::npos && value.size() - point == 10 &&
                   readNumber(value.substr(0, point), seconds) &&
                   readNumber(value.substr(point + 1), nanoseconds) && nanoseconds < 1'000'000'000;
        } else if (key == "generation") {
            read = readNumber(value, out.generation.emplace());
        } else if (key == "allocated") {
            read = readNumber(value, out.allocated.emplace());
        } else if (key == "mtime") {
            read = readNumber(value, out.mtime.emplace());
        } else if (key == "mounts") {
            for (std::string_view rest = value; !rest.empty();) {
                const std::size_t slash = rest.find('/');
                read = readNumber(rest.substr(0, slash), out.mounts.emplace_back());
                if (!read) break;
                rest =
                    slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
            }
        }
        if (!read) return std::nullopt;
    }
    if (!typed || device.has_value() != inode.has_value()) return std::nullopt;
    if (device) out.file = {*device, *inode};
    return out;
}

}  // namespace tamrel
