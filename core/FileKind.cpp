#include "core/FileKind.h"

#include <cstring>

#include "core/TextCase.h"

namespace tamrel {

namespace {

struct Known {
    std::string_view ext;
    FileKind::Value kind;
};

// In table order: a kind's extensions are tested in the order listed.
constexpr Known table[] = {
    {"mov", FileKind::video}, {"mp4", FileKind::video}, {"m4v", FileKind::video},
    {"mkv", FileKind::video}, {"avi", FileKind::video}, {"webm", FileKind::video},
    {"hevc", FileKind::video}, {"prores", FileKind::video}, {"mts", FileKind::video},
    {"braw", FileKind::video}, {"r3d", FileKind::video},

    {"jpg", FileKind::image}, {"jpeg", FileKind::image}, {"png", FileKind::image},
    {"heic", FileKind::image}, {"heif", FileKind::image}, {"gif", FileKind::image},
    {"webp", FileKind::image}, {"tiff", FileKind::image}, {"tif", FileKind::image},
    {"raw", FileKind::image}, {"cr2", FileKind::image}, {"cr3", FileKind::image},
    {"nef", FileKind::image}, {"arw", FileKind::image}, {"dng", FileKind::image},
    {"psd", FileKind::image}, {"svg", FileKind::image}, {"bmp", FileKind::image},
    {"avif", FileKind::image}, {"sketch", FileKind::image}, {"fig", FileKind::image},

    {"mp3", FileKind::audio}, {"m4a", FileKind::audio}, {"wav", FileKind::audio},
    {"aiff", FileKind::audio}, {"aif", FileKind::audio}, {"flac", FileKind::audio},
    {"aac", FileKind::audio}, {"ogg", FileKind::audio}, {"caf", FileKind::audio},
    {"logicx", FileKind::audio}, {"band", FileKind::audio},

    {"zip", FileKind::archive}, {"tar", FileKind::archive}, {"gz", FileKind::archive},
    {"tgz", FileKind::archive}, {"bz2", FileKind::archive}, {"xz", FileKind::archive},
    {"7z", FileKind::archive}, {"rar", FileKind::archive}, {"zst", FileKind::archive},
    {"xip", FileKind::archive}, {"lz4", FileKind::archive},

    {"dmg", FileKind::diskImage}, {"iso", FileKind::diskImage}, {"pkg", FileKind::diskImage},
    {"img", FileKind::diskImage}, {"sparseimage", FileKind::diskImage},
    {"sparsebundle", FileKind::diskImage}, {"vmdk", FileKind::diskImage},
    {"qcow2", FileKind::diskImage}, {"vdi", FileKind::diskImage}, {"ipsw", FileKind::diskImage},

    {"app", FileKind::app}, {"dylib", FileKind::app}, {"framework", FileKind::app},
    {"so", FileKind::app}, {"a", FileKind::app}, {"o", FileKind::app}, {"bin", FileKind::app},
    {"exe", FileKind::app}, {"car", FileKind::app}, {"nib", FileKind::app},
    {"metallib", FileKind::app},

    {"swift", FileKind::code}, {"js", FileKind::code}, {"ts", FileKind::code},
    {"tsx", FileKind::code}, {"jsx", FileKind::code}, {"py", FileKind::code},
    {"rs", FileKind::code}, {"go", FileKind::code}, {"c", FileKind::code},
    {"h", FileKind::code}, {"cpp", FileKind::code}, {"m", FileKind::code},
    {"java", FileKind::code}, {"kt", FileKind::code}, {"rb", FileKind::code},
    {"php", FileKind::code}, {"css", FileKind::code}, {"html", FileKind::code},
    {"json", FileKind::code}, {"yml", FileKind::code}, {"yaml", FileKind::code},
    {"toml", FileKind::code}, {"map", FileKind::code}, {"wasm", FileKind::code},
    {"pyc", FileKind::code}, {"class", FileKind::code}, {"jar", FileKind::code},

    {"pdf", FileKind::document}, {"doc", FileKind::document}, {"docx", FileKind::document},
    {"pages", FileKind::document}, {"key", FileKind::document}, {"numbers", FileKind::document},
    {"xls", FileKind::document}, {"xlsx", FileKind::document}, {"ppt", FileKind::document},
    {"pptx", FileKind::document}, {"txt", FileKind::document}, {"md", FileKind::document},
    {"rtf", FileKind::document}, {"epub", FileKind::document}, {"csv", FileKind::document},

    {"db", FileKind::data}, {"sqlite", FileKind::data}, {"sqlite3", FileKind::data},
    {"realm", FileKind::data}, {"log", FileKind::data}, {"plist", FileKind::data},
    {"dat", FileKind::data}, {"cache", FileKind::data}, {"idx", FileKind::data},
    {"pack", FileKind::data}, {"bundle", FileKind::data}, {"ldb", FileKind::data},
    {"wal", FileKind::data}, {"shm", FileKind::data},
};
static_assert(std::size(table) == 131);

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
    return static_cast<std::size_t>(((k.lo ^ (k.hi * 0xC2B2AE3D27D4EB4Full)) *
                                     0x9E3779B97F4A7C15ull) >> (64 - slotBits));
}

struct Slot {
    Key key;
    std::uint8_t kind = FileKind::other;
    bool used = false;
};

// Open addressing over 512 slots for 131 keys; no extension is listed twice, so the table's
// order does not matter to a hashed lookup.
constexpr std::array<Slot, slots> buildSlots() {
    std::array<Slot, slots> s{};
    for (const Known& k : table) {
        const Key key = pack(k.ext.data(), k.ext.size(), false);
        std::size_t at = slotOf(key);
        while (s[at].used) at = (at + 1) & (slots - 1);
        s[at] = Slot{key, k.kind, true};
    }
    return s;
}

constexpr std::array<Slot, slots> hashed = buildSlots();

FileKind find(const Key& key) {
    for (std::size_t at = slotOf(key);; at = (at + 1) & (slots - 1)) {
        const Slot& s = hashed[at];
        if (!s.used) return FileKind::other;
        if (s.key == key) return static_cast<FileKind::Value>(s.kind);
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
    "Video", "Images", "Audio", "Archives", "Disk images", "Apps & binaries", "Code",
    "Documents", "Data & caches", "Other"};

}  // namespace

FileKind FileKind::fromExt(std::string_view ext) {
    if (ext.empty() || ext.size() > maxExt) return other;
    return find(pack(ext.data(), ext.size(), false));
}

std::optional<FileKind> FileKind::fromRawValue(std::string_view raw) {
    for (FileKind k : allCases()) {
        if (k.rawValue() == raw) return k;
    }
    return std::nullopt;
}

FileKind FileKind::ofName(std::string_view nameBytes) {
    const std::optional<std::string_view> e = extBytes(nameBytes);
    if (!e) return other;
    if (isAscii(*e)) {
        if (e->size() > maxExt) return other;
        return find(pack(e->data(), e->size(), true));
    }
    // Full lowercasing can turn non-ASCII letters into ASCII ones (the Kelvin sign into "k").
    return fromExt(lowercase(*e));
}

std::string_view FileKind::rawValue() const { return rawValues[value_]; }

std::string_view FileKind::label() const { return labels[value_]; }

std::string extOfName(std::string_view nameBytes) {
    const std::optional<std::string_view> e = extBytes(nameBytes);
    return e ? lowercase(*e) : std::string();
}

std::string ext(const DiskIndex& index, NodeId i) { return extOfName(index.nameBytes(i)); }

}  // namespace tamrel
