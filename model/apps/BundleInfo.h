#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tamrel {

// The information dictionary of a bundle (its Info.plist, XML or binary): the text values of its
// top level. A value.
class BundleInfo {
public:
    // Opens the bundle folder at `path` and reads Contents/Info.plist, else Resources/Info.plist,
    // else Info.plist. Nothing when `path` is not a folder; a folder without a readable
    // dictionary gives an empty one (no identifier). Blocking (reads the disk); thread-safe.
    static std::optional<BundleInfo> open(const std::string& path);

    // The bytes of a property list, XML or binary; empty when they are not a dictionary.
    static BundleInfo parse(std::string_view bytes);

    // The text under `key`; nothing when it is absent or not text.
    std::optional<std::string> text(const std::string& key) const;
    // "CFBundleIdentifier".
    std::optional<std::string> identifier() const { return text("CFBundleIdentifier"); }

private:
    std::unordered_map<std::string, std::string> texts_;
};

}  // namespace tamrel
