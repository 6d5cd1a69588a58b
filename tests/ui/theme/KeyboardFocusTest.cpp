#include "ui/theme/KeyboardFocus.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace tamrel {
namespace {

TEST(KeyboardFocus, ListKeysStepAndStopAtTheEnds) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int at, count;
        Qt::Orientation orientation;
        std::optional<int> to;
    };
    const Case cases[] = {
        {Qt::Key_Down, {}, 0, 5, Qt::Vertical, 1},
        {Qt::Key_Down, {}, 4, 5, Qt::Vertical, 4},  // stops at the end
        {Qt::Key_Up, {}, 0, 5, Qt::Vertical, 0},
        {Qt::Key_Down, {}, -1, 5, Qt::Vertical, 0},  // no place yet: the first
        {Qt::Key_Up, {}, -1, 5, Qt::Vertical, 0},
        {Qt::Key_Home, {}, 3, 5, Qt::Vertical, 0},
        {Qt::Key_End, {}, 1, 5, Qt::Vertical, 4},
        {Qt::Key_PageDown, {}, 0, 30, Qt::Vertical, 10},
        {Qt::Key_PageUp, {}, 4, 30, Qt::Vertical, 0},
        {Qt::Key_Right, {}, 1, 5, Qt::Horizontal, 2},
        {Qt::Key_Right, {}, 1, 5, Qt::Vertical, std::nullopt},  // another axis
        {Qt::Key_Down, {}, 1, 5, Qt::Horizontal, std::nullopt},
        {Qt::Key_Up, Qt::AltModifier, 3, 5, Qt::Vertical, std::nullopt},  // Alt+Up: up a folder
        {Qt::Key_Down, {}, 0, 0, Qt::Vertical, std::nullopt},            // nothing to move in
        {Qt::Key_Space, {}, 0, 5, Qt::Vertical, std::nullopt},
    };
    for (const Case& c : cases) {
        const QKeyEvent key(QEvent::KeyPress, c.key, c.mods);
        EXPECT_EQ(steppedEntry(key, c.at, c.count, c.orientation), c.to) << c.key << " " << c.at;
    }
    EXPECT_TRUE(opensEntry(QKeyEvent(QEvent::KeyPress, Qt::Key_Return, {})));
    EXPECT_TRUE(opensEntry(QKeyEvent(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier)));
    EXPECT_FALSE(opensEntry(QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::AltModifier)));
    EXPECT_TRUE(opensMenu(QKeyEvent(QEvent::KeyPress, Qt::Key_Menu, {})));
    EXPECT_TRUE(opensMenu(QKeyEvent(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier)));
    EXPECT_FALSE(opensMenu(QKeyEvent(QEvent::KeyPress, Qt::Key_F10, {})));
}

}  // namespace
}  // namespace tamrel
