#include "ui/theme/Symbols.h"

#include <QHash>

namespace tamrel::Symbols {

namespace {

struct Entry {
    const char* name;
    char32_t codepoint;  // Material Icons
};

// Symbol name -> Material Icons code point (the icon's Material name in the comment).
constexpr Entry kTable[] = {
    {"apple.logo", 0xE30A},                   // computer
    {"archivebox.fill", 0xE149},              // archive
    {"arrow.3.trianglepath", 0xE863},         // autorenew
    {"arrow.clockwise", 0xE5D5},              // refresh
    {"arrow.down.circle.fill", 0xF181},       // arrow_circle_down
    {"arrow.right", 0xE5C8},                  // arrow_forward
    {"arrow.up.arrow.down", 0xE8D5},          // swap_vert
    {"bag.fill", 0xF1CC},                     // shopping_bag
    {"bolt.fill", 0xEA0B},                    // bolt
    {"books.vertical.fill", 0xE54B},          // local_library
    {"brain.head.profile", 0xEA4A},           // psychology
    {"camera.metering.unknown", 0xE8FD},      // help_outline
    {"checkmark", 0xE5CA},                    // check
    {"chevron.down", 0xE5CF},                 // expand_more
    {"chevron.left", 0xE5CB},                 // chevron_left
    {"chevron.right", 0xE5CC},                // chevron_right
    {"chevron.up", 0xE5CE},                   // expand_less
    {"circle.fill", 0xEF4A},                  // circle
    {"clock.arrow.circlepath", 0xE889},       // history
    {"clock.fill", 0xE8B5},                   // schedule
    {"doc.fill", 0xE873},                     // description
    {"doc.text.magnifyingglass", 0xE880},     // find_in_page
    {"envelope.fill", 0xE158},                // mail
    {"externaldrive.fill", 0xE1E0},           // usb
    {"eye.slash", 0xE8F5},                    // visibility_off
    {"folder", 0xE2C8},                       // folder_open
    {"folder.fill", 0xE2C7},                  // folder
    {"globe", 0xE80B},                        // public
    {"hammer.fill", 0xF10B},                  // handyman
    {"house.fill", 0xE88A},                   // home
    {"info.circle.fill", 0xE88E},             // info
    {"internaldrive.fill", 0xE1DB},           // storage
    {"iphone", 0xE325},                       // phone_iphone
    {"lock.fill", 0xE897},                    // lock
    {"magnifyingglass", 0xE8B6},              // search
    {"memorychip.fill", 0xE322},              // memory
    {"menubar.dock.rectangle", 0xE30C},       // desktop_windows
    {"minus", 0xE15B},                        // remove
    {"mug.fill", 0xE541},                     // local_cafe
    {"opticaldiscdrive.fill", 0xE019},        // album
    {"plus", 0xE145},                         // add
    {"puzzlepiece.extension.fill", 0xE87B},   // extension
    {"shippingbox.fill", 0xE1A1},             // inventory_2
    {"sparkles", 0xE65F},                     // auto_awesome
    {"square.dashed", 0xE3C2},                // crop_free
    {"square.grid.3x3.fill", 0xE5C3},         // apps
    {"square.stack.3d.up.fill", 0xE53B},      // layers
    {"trash", 0xE92E},                        // delete_outline
    {"trash.fill", 0xE872},                   // delete
    {"tray", 0xE156},                         // inbox
    {"wrench.and.screwdriver.fill", 0xE869},  // build
    {"xmark", 0xE5CD},                        // close
    {"xmark.circle.fill", 0xE5C9},            // cancel
};

constexpr char32_t kFallback = 0xEF4A;  // circle

const QHash<QString, char32_t>& table() {
    static const QHash<QString, char32_t> map = [] {
        QHash<QString, char32_t> m;
        for (const Entry& e : kTable)
            m.insert(QString::fromLatin1(e.name), e.codepoint);
        return m;
    }();
    return map;
}

}  // namespace

char32_t codepoint(const QString& name) {
    return table().value(name, 0);
}

QString glyph(const QString& name) {
    char32_t cp = codepoint(name);
    if (cp == 0) cp = kFallback;
    return QString::fromUcs4(&cp, 1);
}

bool has(const QString& name) {
    return table().contains(name);
}

QStringList names() {
    QStringList out = table().keys();
    out.sort();
    return out;
}

}  // namespace tamrel::Symbols
