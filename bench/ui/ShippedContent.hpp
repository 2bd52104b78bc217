#pragma once
// What a user of the built program starts with: the shipped data (the emoji, then the glyphs and
// emoticons beside them) and a few pins.
#include <filesystem>

#include "content/CollectionsStore.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmoticonCatalog.hpp"
#include "platform/AppBundle.hpp"

namespace mosaiko::bench {

// The shipped data as the program loads it from beside the built executable.
class ShippedDatabase : public EmojiDatabase {
  public:
    ShippedDatabase()
        : EmojiDatabase(AppBundle(std::filesystem::path(MOSAIKO_BINARY_DIR) / "resources"),
                        OperatingSystemVersion{99, 0, 0}) {
        setExtraEmojis(ContentCoordinator::extraEntries({}, EmoticonCatalog::defaultOrder(), {}));
    }
};

inline void pinFavourites(CollectionsStore& collections) {
    for (const char* id : {"thumbsup", "heart", "fire", "tada"}) collections.togglePinned(id);
}

}  // namespace mosaiko::bench
