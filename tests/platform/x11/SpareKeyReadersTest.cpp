#include "platform/x11/SpareKeyReaders.hpp"

#include <gtest/gtest.h>

namespace mosaiko {
namespace {

// A keycode waits for every client sent a key on it to have read its last one there: clients read
// in order, a window that goes reads nothing more, and a keycode a new keymap took waits for none.
TEST(SpareKeyReadersTest, AKeycodeIsReadOnceEachClientHasReadItsLastKeyOnIt) {
    SpareKeyReaders readers;
    readers.typed(200, 1, 5);
    readers.typed(200, 2, 6);
    readers.typed(201, 1, 7);
    readers.typed(202, 2, 8);
    const struct {
        const char* step;
        void (*apply)(SpareKeyReaders&);
        bool read200, read201, read202;
    } steps[] = {
        {"nothing read yet", [](SpareKeyReaders&) {}, false, false, false},
        {"client 1 read key 6", [](SpareKeyReaders& r) { r.read(1, 6); }, false, false, false},
        {"client 2 read key 6", [](SpareKeyReaders& r) { r.read(2, 6); }, true, false, false},
        {"client 1 read key 7", [](SpareKeyReaders& r) { r.read(1, 7); }, true, true, false},
        {"a new keymap took 202", [](SpareKeyReaders& r) { r.forget(202); }, true, true, true},
        {"a later key for client 2", [](SpareKeyReaders& r) { r.typed(200, 2, 9); }, false, true, true},
        {"client 2's window went", [](SpareKeyReaders& r) { r.gone(2); }, true, true, true},
        {"a new window reuses its id", [](SpareKeyReaders& r) { r.typed(201, 2, 10); }, true, false, true},
    };
    for (const auto& step : steps) {
        step.apply(readers);
        EXPECT_EQ(readers.isRead(200), step.read200) << step.step;
        EXPECT_EQ(readers.isRead(201), step.read201) << step.step;
        EXPECT_EQ(readers.isRead(202), step.read202) << step.step;
    }
    EXPECT_EQ(readers.awaited(201),
              (std::vector<std::pair<SpareKeyReaders::Reader, std::uint64_t>>{{2, 10}}));
    EXPECT_EQ(readers.readThrough(1), 7u);
}

}  // namespace
}  // namespace mosaiko
