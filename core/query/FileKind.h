#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/index/DiskIndex.h"

namespace tamrel {

// One of ten broad kinds of file, decided by the lowercased extension of a name through one fixed
// table of 131 extensions. Folders have kinds too ("Foo.app" is an app).
class FileKind {
public:
    enum Value : std::uint8_t {
        video,
        image,
        audio,
        archive,
        diskImage,
        app,
        code,
        document,
        data,
        other,
    };
    static constexpr int caseCount = 10;

    constexpr FileKind(Value v) : value_(v) {}
    constexpr operator Value() const { return value_; }

    // The kind of an extension already lowercased, compared exactly; `other` when absent.
    static FileKind fromExt(std::string_view ext);
    // The case whose raw value (its case name) equals `raw` exactly.
    static std::optional<FileKind> fromRawValue(std::string_view raw);
    // The kind of a name's extension (the rule of ext() without building a string for ASCII
    // extensions): the hot path of the breakdown and of "kind:" searches.
    static FileKind ofName(std::string_view nameBytes);
    // The ten cases in declaration order.
    static constexpr std::array<FileKind, caseCount> allCases() {
        return {video, image, audio, archive, diskImage, app, code, document, data, other};
    }

    std::string_view rawValue() const;
    std::string_view label() const;

private:
    Value value_;
};

// The lowercased text after the last "." of a name, or "" when the name has no dot, starts with
// its only dot or ends with one. Bytes after the dot that are not UTF-8 become U+FFFD.
std::string extOfName(std::string_view nameBytes);

// extOfName() of node i's name.
std::string ext(const DiskIndex& index, NodeId i);

}  // namespace tamrel
