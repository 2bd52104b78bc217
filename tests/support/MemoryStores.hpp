#pragma once
// The stores the view models read, over defaults held in memory, on a main loop that runs only
// when told to (its clock too). Fixtures derive from it: its members come first, so that whatever
// the fixture builds over them ends before they do.
#include "content/CollectionsStore.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/PreferencesStore.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko::testing {

struct MemoryStores {
    ManualMainLoop loop;
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CollectionsStore collections{defaults};
    EmojiUsageStore usage{defaults, loop};
};

}  // namespace mosaiko::testing
