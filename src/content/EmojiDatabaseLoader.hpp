#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "content/EmojiDatabase.hpp"
#include "platform/AppBundle.hpp"
#include "platform/MainLoop.hpp"
#include "platform/OperatingSystemVersion.hpp"

namespace mosaiko {

// Reads, filters and indexes the emoji data file on a thread of its own and hands the result to a
// database that started without it, on the main loop: the program starts listening to the keyboard
// at once instead of after the index is built. The object waits for its thread when it ends; a
// result that arrives after that is dropped.
class EmojiDatabaseLoader {
  public:
    // Which system version the entries are filtered for; asked on the loading thread.
    using VersionSource = std::function<OperatingSystemVersion()>;

    // `db` and `mainLoop` must outlive this object. `loaded` runs on the main loop once the database
    // has taken the result.
    EmojiDatabaseLoader(EmojiDatabase& db, MainLoop& mainLoop, AppBundle bundle, VersionSource version,
                        std::function<void()> loaded = {});
    ~EmojiDatabaseLoader();
    EmojiDatabaseLoader(const EmojiDatabaseLoader&) = delete;
    EmojiDatabaseLoader& operator=(const EmojiDatabaseLoader&) = delete;

    // Begins with the extra entries the database holds now; once only, and not for a loaded database.
    void start();
    // Waits until the loading thread has posted its result (tests; the shut-down).
    void waitForThread();

  private:
    // What the posted result reaches: cleared when this object ends.
    struct Target {
        EmojiDatabase* db = nullptr;
        std::function<void()> loaded;
    };

    EmojiDatabase& db_;
    MainLoop& mainLoop_;
    AppBundle bundle_;
    VersionSource version_;
    std::shared_ptr<Target> target_;
    std::thread thread_;
};

}  // namespace mosaiko
