// Without a display (the offscreen platform), a key press Qt delivers reads as the key tap's events
// do: Ctrl → Control, Alt → Option, Super (Qt's Meta) → Command, the key's unshifted character.
#include "platform/x11/QtKeyEventReader.hpp"

#include <gtest/gtest.h>

#include <QKeyEvent>

#include "content/KeyboardShortcut.hpp"

namespace mosaiko {
namespace {

TEST(QtKeyEventReader, ShortcutsReadWithoutADisplayAsTheKeyTapReadsThem) {
    using F = std::uint64_t;
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        std::optional<KeyboardShortcut> recorded;
    } rows[] = {
        {Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier,
         KeyboardShortcut{40, F{ModifierFlag::shift | ModifierFlag::control}, "k"}},
        {Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier,
         KeyboardShortcut{49, F{ModifierFlag::control | ModifierFlag::option}, " "}},
        {Qt::Key_E, Qt::MetaModifier, KeyboardShortcut{14, F{ModifierFlag::command}, "e"}},
        {Qt::Key_1, Qt::AltModifier, KeyboardShortcut{18, F{ModifierFlag::option}, "1"}},
        {Qt::Key_K, Qt::ShiftModifier, std::nullopt},
        {Qt::Key_Return, Qt::MetaModifier, std::nullopt},
        {Qt::Key_Escape, Qt::ControlModifier, std::nullopt},
    };
    for (const auto& row : rows) {
        const QKeyEvent press(QEvent::KeyPress, row.key, row.modifiers);
        const auto event = QtKeyEventReader::readWithoutDisplay(press);
        ASSERT_TRUE(event) << row.key;
        EXPECT_EQ(KeyboardShortcut::recorded(*event), row.recorded) << row.key;
    }
    EXPECT_FALSE(
        QtKeyEventReader::readWithoutDisplay(QKeyEvent(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier)));
}

}  // namespace
}  // namespace mosaiko
