#include "content/EmojiDatabaseLoader.hpp"

#include <utility>

namespace mosaiko {

EmojiDatabaseLoader::EmojiDatabaseLoader(EmojiDatabase& db, MainLoop& mainLoop, AppBundle bundle,
                                         VersionSource version, std::function<void()> loaded)
    : db_(db),
      mainLoop_(mainLoop),
      bundle_(std::move(bundle)),
      version_(std::move(version)),
      target_(std::make_shared<Target>(Target{&db, std::move(loaded)})) {}

EmojiDatabaseLoader::~EmojiDatabaseLoader() {
    waitForThread();
    target_->db = nullptr;
    target_->loaded = nullptr;
}

void EmojiDatabaseLoader::start() {
    if (thread_.joinable() || db_.isLoaded()) return;
    thread_ = std::thread([target = target_, &mainLoop = mainLoop_, bundle = bundle_, version = version_,
                           extras = db_.pendingExtras()]() mutable {
        std::shared_ptr<EmojiDatabase::Loaded> loaded;
        try {
            loaded = std::make_shared<EmojiDatabase::Loaded>(EmojiDatabase::prepare(
                bundle, version ? version() : OperatingSystemVersion{}, std::move(extras)));
        } catch (...) {
            // Out of memory, or the version source failed: the main thread tries once more itself, so
            // that the database never stays empty without a reason.
        }
        mainLoop.post([target, loaded, bundle, version] {
            if (!target->db) return;
            if (loaded) {
                target->db->finishLoading(std::move(*loaded));
            } else {
                const auto system = version ? version() : OperatingSystemVersion{};
                target->db->finishLoading(
                    EmojiDatabase::prepare(bundle, system, target->db->pendingExtras()));
            }
            if (target->loaded) target->loaded();
        });
    });
}

void EmojiDatabaseLoader::waitForThread() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace mosaiko
