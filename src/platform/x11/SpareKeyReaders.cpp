#include "platform/x11/SpareKeyReaders.hpp"

#include <algorithm>

namespace mosaiko {

void SpareKeyReaders::typed(unsigned keycode, Reader reader, std::uint64_t key) {
    std::uint64_t& last = unread_[keycode][reader];
    last = std::max(last, key);
}

void SpareKeyReaders::read(Reader reader, std::uint64_t key) {
    std::uint64_t& through = readThrough_[reader];
    through = std::max(through, key);
    for (auto it = unread_.begin(); it != unread_.end();) {
        auto& readers = it->second;
        if (const auto found = readers.find(reader); found != readers.end() && found->second <= through)
            readers.erase(found);
        it = readers.empty() ? unread_.erase(it) : std::next(it);
    }
}

void SpareKeyReaders::gone(Reader reader) {
    read(reader, UINT64_MAX);
    readThrough_.erase(reader);  // a window id may be given to a new window later
}

void SpareKeyReaders::forget(unsigned keycode) {
    unread_.erase(keycode);
}

std::uint64_t SpareKeyReaders::readThrough(Reader reader) const {
    const auto it = readThrough_.find(reader);
    return it == readThrough_.end() ? 0 : it->second;
}

bool SpareKeyReaders::isRead(unsigned keycode) const {
    return !unread_.count(keycode);
}

std::vector<std::pair<SpareKeyReaders::Reader, std::uint64_t>> SpareKeyReaders::awaited(
    unsigned keycode) const {
    const auto it = unread_.find(keycode);
    if (it == unread_.end()) return {};
    return {it->second.begin(), it->second.end()};
}

}  // namespace mosaiko
