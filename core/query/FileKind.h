#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/RuleSet.h"
#include "core/index/DiskIndex.h"

namespace tamrel {

// One of ten broad kinds of file, decided by the lowercased extension of a name through one fixed
// table of 131 extensions. Folders have kinds too ("Foo.app" is an app). Under
// RuleSet::linuxDesktop the table also knows the packages and programs of a Linux desktop
// (deb, rpm, snap and flatpak are disk images like pkg, an AppImage is an app), and a plain
// file with an execute permission bit and no extension is an app: most such files are
// programs (ELF binaries or scripts). The bit stands in for reading the file's first bytes,
// which would cost one read per file during the scan; on disks that mark every file
// executable (vfat, ntfs) extensionless files count as apps too.
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
    static FileKind fromExt(std::string_view ext, RuleSet rules = RuleSet::designed);
    // The case whose raw value (its case name) equals `raw` exactly.
    static std::optional<FileKind> fromRawValue(std::string_view raw);
    // The kind of a name's extension (the rule of ext() without building a string for ASCII
    // extensions): the hot path of the breakdown and of "kind:" searches.
    static FileKind ofName(std::string_view nameBytes, RuleSet rules = RuleSet::designed);
    // The kind of an entry of the index by its name and kind byte: that of its name, or, under
    // the Linux set, `app` for a program without an extension (isProgramWithoutExt).
    static FileKind ofEntry(std::string_view nameBytes, std::uint8_t kindByte, RuleSet rules);
    // ofEntry() of node i.
    static FileKind ofNode(const DiskIndex& index, NodeId i, RuleSet rules);
    // Under the Linux set only: a plain file (by its kind byte) whose execute bit was set when it
    // was listed and whose name has no extension (the rule of extOfName()).
    static bool isProgramWithoutExt(std::string_view nameBytes, std::uint8_t kindByte,
                                    RuleSet rules);
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
