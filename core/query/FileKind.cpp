#include "core/query/FileKind.h"

#include "core/base/TextCase.h"

namespace tamrel {

namespace {

struct Row {
    FileKind::Value kind;
    std::string_view exts;  // separated by single spaces, in test order
    bool linuxOnly = false;  // known under RuleSet::linuxDesktop only
};

// The designed rows first; then the files of a Linux desktop that would otherwise count as
// "Other": packages go with the designed "pkg" (disk images), an AppImage with the programs.
// The Linux disk images (img, qcow2, vdi, vmdk, iso) are designed ones already.
constexpr Row table[] = {
    {FileKind::video, "mov mp4 m4v mkv avi webm hevc prores mts braw r3d"},
    {FileKind::image,
     "jpg jpeg png heic heif gif webp tiff tif raw cr2 cr3 nef arw dng psd svg bmp avif sketch "
     "fig"},
    {FileKind::audio, "mp3 m4a wav aiff aif flac aac ogg caf logicx band"},
    {FileKind::archive, "zip tar gz tgz bz2 xz 7z rar zst xip lz4"},
    {FileKind::diskImage, "dmg iso pkg img sparseimage sparsebundle vmdk qcow2 vdi ipsw"},
    {FileKind::app, "app dylib framework so a o bin exe car nib metallib"},
    {FileKind::code,
     "swift js ts tsx jsx py rs go c h cpp m java kt rb php css html json yml yaml toml map wasm "
     "pyc class jar"},
    {FileKind::document, "pdf doc docx pages key numbers xls xlsx ppt pptx txt md rtf epub csv"},
    {FileKind::data, "db sqlite sqlite3 realm log plist dat cache idx pack bundle ldb wal shm"},
    {FileKind::diskImage, "deb rpm snap flatpak", true},
    {FileKind::app, "appimage", true},
};

// Calls f(ext, kind, linuxOnly) for every extension of the table, in order.
template <typename F>
constexpr void forEachKnown(F f) {
    for (const Row& row : table) {
        std::size_t start = 0;
        while (start < row.exts.size()) {
            std::size_t end = row.exts.find(' ', start);
            if (end == std::string_view::npos) end = row.exts.size();
            f(row.exts.substr(start, end - start), row.kind, row.linuxOnly);
            start = end + 1;
        }
    }
}

constexpr std::size_t knownCount(bool linuxOnly) {
    std::size_t n = 0;
    forEachKnown([&](std::string_view, FileKind::Value, bool l) { n += l == linuxOnly; });
    return n;
}
static_assert(knownCount(false) == 131);
static_assert(knownCount(true) == 5);

constexpr std::size_t maxExt = 12;

// An extension of at most 12 ASCII bytes packed into two words, so a lookup allocates nothing.
struct Key {
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
    bool operator==(const Key&) const = default;
};

constexpr Key pack(const char* p, std::size_t n, bool fold) {
    Key k;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (fold && c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
        if (i < 8) {
            k.lo |= std::uint64_t{c} << (8 * i);
        } else {
            k.hi |= std::uint64_t{c} << (8 * (i - 8));
        }
    }
    k.hi |= std::uint64_t{n} << 56;
    return k;
}

constexpr std::size_t slotBits = 9;
constexpr std::size_t slots = std::size_t{1} << slotBits;

constexpr std::size_t slotOf(const Key& k) {
    return static_cast<std::size_t>(
        ((k.lo ^ (k.hi * 0xC2B2AE3D27D4EB4Full)) * 0x9E3779B97F4A7C15ull) >> (64 - slotBits));
}

struct Slot {
    Key key;
    std::uint8_t kind = FileKind::other;
    bool used = false;
    bool linuxOnly = false;
};

// Open addressing over 512 slots for 136 keys; no extension is listed twice, so the table's
// order does not matter to a hashed lookup.
constexpr std::array<Slot, slots> buildSlots() {
    std::array<Slot, slots> s{};
    forEachKnown([&](std::string_view ext, FileKind::Value kind, bool linuxOnly) {
        const Key key = pack(ext.data(), ext.size(), false);
        std::size_t at = slotOf(key);
        while (s[at].used)
            at = (at + 1) & (slots - 1);
        s[at] = Slot{key, kind, true, linuxOnly};
    });
    return s;
}

constexpr std::array<Slot, slots> hashed = buildSlots();

FileKind find(const Key& key, RuleSet rules) {
    for (std::size_t at = slotOf(key);; at = (at + 1) & (slots - 1)) {
        const Slot& s = hashed[at];
        if (!s.used) return FileKind::other;
        if (s.key == key) {
            if (s.linuxOnly && rules != RuleSet::linuxDesktop) return FileKind::other;
            return static_cast<FileKind::Value>(s.kind);
        }
    }
}

// The bytes after the extension dot of a name, or nothing when the name has no extension.
std::optional<std::string_view> extBytes(std::string_view name) {
    const std::size_t d = name.rfind('.');
    if (d == std::string_view::npos || d == 0 || d + 1 == name.size()) return std::nullopt;
    return name.substr(d + 1);
}

constexpr std::array<std::string_view, FileKind::caseCount> rawValues = {
    "video", "image", "audio", "archive", "diskImage", "app", "code", "document", "data", "other"};
constexpr std::array<std::string_view, FileKind::caseCount> labels = {
    "Video",           "Images", "Audio",     "Archives",      "Disk images",
    "Apps & binaries", "Code",   "Documents", "Data & caches", "Other"};

}  // namespace

FileKind FileKind::fromExt(std::string_view ext, RuleSet rules) {
    if (ext.empty() || ext.size() > maxExt) return other;
    return find(pack(ext.data(), ext.size(), false), rules);
}

std::optional<FileKind> FileKind::fromRawValue(std::string_view raw) {
    for (FileKind k : allCases()) {
        if (k.rawValue() == raw) return k;
    }
    return std::nullopt;
}

FileKind FileKind::ofName(std::string_view nameBytes, RuleSet rules) {
    const std::optional<std::string_view> e = extBytes(nameBytes);
    if (!e) return other;
    if (isAscii(*e)) {
        if (e->size() > maxExt) return other;
        return find(pack(e->data(), e->size(), true), rules);
    }
    // Full lowercasing can turn non-ASCII letters into ASCII ones (the Kelvin sign into "k").
    return fromExt(lowercase(*e), rules);
}

bool FileKind::isProgramWithoutExt(std::string_view nameBytes, std::uint8_t kindByte,
                                   RuleSet rules) {
    return rules == RuleSet::linuxDesktop && (kindByte & Flag::kindMask) == 0 &&
           (kindByte & Flag::executable) && !extBytes(nameBytes);
}

FileKind FileKind::ofEntry(std::string_view nameBytes, std::uint8_t kindByte, RuleSet rules) {
    if (isProgramWithoutExt(nameBytes, kindByte, rules)) return app;
    return ofName(nameBytes, rules);
}

FileKind FileKind::ofNode(const DiskIndex& index, NodeId i, RuleSet rules) {
    return ofEntry(index.nameBytes(i), index.kind(i), rules);
}

std::string_view FileKind::rawValue() const {
    return rawValues[value_];
}

std::string_view FileKind::label() const {
    return labels[value_];
}

std::string extOfName(std::string_view nameBytes) {
    const std::optional<std::string_view> e = extBytes(nameBytes);
    return e ? lowercase(*e) : std::string();
}

std::string ext(const DiskIndex& index, NodeId i) {
    return extOfName(index.nameBytes(i));
}

}  // namespace tamrel
