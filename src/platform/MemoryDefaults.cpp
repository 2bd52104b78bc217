#include "platform/MemoryDefaults.hpp"

namespace mosaiko {

std::optional<DefaultsValue> MemoryDefaults::object(std::string_view key) const {
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

bool MemoryDefaults::readData(std::string_view key, const std::function<void(std::string_view)>& read) const {
    const auto it = values_.find(key);
    const auto* data = it == values_.end() ? nullptr : it->second.get<DefaultsData>();
    if (!data) return false;
    read(data->bytes);
    return true;
}

void MemoryDefaults::set(std::string_view key, DefaultsValue value) {
    values_.insert_or_assign(std::string(key), std::move(value));
    ++writeCount_;
}

void MemoryDefaults::remove(std::string_view key) {
    if (auto it = values_.find(key); it != values_.end()) values_.erase(it);
    ++writeCount_;
}

std::vector<std::string> MemoryDefaults::keys() const {
    std::vector<std::string> result;
    result.reserve(values_.size());
    for (const auto& [key, value] : values_) result.push_back(key);
    return result;
}

}  // namespace mosaiko
