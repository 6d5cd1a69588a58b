#include "model/apps/BundleInfo.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "platform/UniqueFd.h"

namespace tamrel {

namespace {

// Larger files are not information dictionaries worth reading.
constexpr off_t maxBytes = 8 << 20;

std::optional<std::string> readSmallFile(const std::string& path) {
    // Non-blocking: a pipe or device in a bundle must not hold the inventory up.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

struct PlistFree {
    void operator()(void* p) const { plist_free(static_cast<plist_t>(p)); }
};

}  // namespace

BundleInfo BundleInfo::parse(std::string_view bytes) {
    BundleInfo info;
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(maxBytes)) return info;
    plist_t raw = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
    const std::unique_ptr<void, PlistFree> root(raw);
    if (!raw || plist_get_node_type(raw) != PLIST_DICT) return info;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(raw, &it);
    if (!it) return info;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(raw, it, &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        if (key && plist_get_node_type(value) == PLIST_STRING) {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(value, &length);
            if (text) info.texts_.emplace(key, std::string(text, static_cast<std::size_t>(length)));
        }
        std::free(key);
    }
    std::free(it);
    return info;
}

std::optional<BundleInfo> BundleInfo::open(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    for (const char* place : {"/Contents/Info.plist", "/Resources/Info.plist", "/Info.plist"}) {
        if (const auto bytes = readSmallFile(path + place)) return parse(*bytes);
    }
    return BundleInfo{};
}

std::optional<std::string> BundleInfo::text(const std::string& key) const {
    const auto it = texts_.find(key);
    if (it == texts_.end()) return std::nullopt;
    return it->second;
}

}  // namespace tamrel
