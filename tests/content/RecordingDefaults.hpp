#pragma once

#include <string>
#include <vector>

#include "platform/Json.hpp"
#include "platform/MemoryDefaults.hpp"

namespace mosaiko::testing {

// An in-memory database that also logs which keys were written or removed, in order.
class RecordingDefaults : public MemoryDefaults {
  public:
    using MemoryDefaults::MemoryDefaults;

    void set(std::string_view key, DefaultsValue value) override {
        log.push_back("set " + std::string(key));
        MemoryDefaults::set(key, std::move(value));
    }
    void remove(std::string_view key) override {
        log.push_back("remove " + std::string(key));
        MemoryDefaults::remove(key);
    }

    // The JSON stored as data under `key` (null when absent, not data, or not JSON).
    Json json(std::string_view key) const {
        auto bytes = data(key);
        if (!bytes) return Json();
        return json::parse(*bytes).value_or(Json());
    }
    void setJson(std::string_view key, const Json& value) {
        MemoryDefaults::set(key, DefaultsData{value.dump()});
    }

    std::vector<std::string> log;
};

}  // namespace mosaiko::testing
