#include "content/EmojiDatabaseLoader.hpp"

#include <utility>

namespace mosaiko {

EmojiDatabaseLoader::EmojiDatabaseLoader(EmojiDatabase& db, MainLoop& mainLoop, AppBundle bundle,
                                         VersionSource version)
    : db_(db),
      mainLoop_(mainLoop),
      bundle_(std::move(bundle)),
      version_(std::move(version)),
      target_(std::make_shared<Target>(Target{&db})) {}

EmojiDatabaseLoader::~EmojiDatabaseLoader() {
    waitForThread();
    target_->db = nullptr;
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
            if (loaded) return target->db->finishLoading(std::move(*loaded));
            const auto system = version ? version() : OperatingSystemVersion{};
            target->db->finishLoading(EmojiDatabase::prepare(bundle, system, target->db->pendingExtras()));
        });
    });
}

void EmojiDatabaseLoader::waitForThread() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace mosaiko
