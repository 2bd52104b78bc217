#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "picker/EmojiInserter.hpp"
#include "picker/PickerController.hpp"
#include "platform/KeyTapPort.hpp"
#include "platform/ScreenInfo.hpp"

namespace mosaiko {

class EmojiDatabase;
class EmojiUsageStore;
class CollectionsStore;
class Clock;
class Workspace;
class PickerPanelController;

// Builds the picker: its view model over the stores and the database, the panel, the key tap and
// the controller with every effect wired. The shell builds it once over the live services and
// keeps the controller for the whole run; nothing shows and no tap is installed until it calls
// start().
class PickerAssembly {
  public:
    struct Parts {
        EmojiDatabase& db;
        PreferencesStore& prefs;
        EmojiUsageStore& usage;
        CollectionsStore& collections;
        MainLoop& mainLoop;
        const Clock& clock;
        const ScreenInfo& screens;
        // The frontmost application; without a workspace nothing is ever frontmost.
        Workspace* workspace = nullptr;
        // Installs the system-wide tap (null when the display server refuses).
        std::function<std::unique_ptr<KeyTapPort>(std::uint64_t eventMask, KeyTapPort::Callback)> createTap;
        // Posts the synthesized key events; without one nothing can be typed and insertion fails.
        EmojiInserter::EventPoster postEvent;
        // The primary screen's frame in Qt's coordinates; Qt's own when unset.
        std::function<ScreenInfo::Rect()> primaryDesktopFrame;
        // Whether the poster can type a text now; always, when unset.
        EmojiInserter::TextCheck canTypeText = {};
    };

    struct Picker {
        std::unique_ptr<PickerController> controller;
        // Owned by the controller's effects; lives as long as the controller.
        PickerPanelController* panel = nullptr;
    };

    static Picker build(Parts parts);
};

}  // namespace mosaiko
