#pragma once

#include "platform/DefaultsDatabase.hpp"

namespace mosaiko {

// A defaults database that lives in memory only (tests, and the base of the file-backed one).
class MemoryDefaults : public DefaultsDatabase {
  public:
    MemoryDefaults() = default;
    explicit MemoryDefaults(DefaultsValue::Dictionary values) : values_(std::move(values)) {}

    std::optional<DefaultsValue> object(std::string_view key) const override;
    bool contains(std::string_view key) const override { return values_.find(key) != values_.end(); }
    bool readData(std::string_view key, const std::function<void(std::string_view)>& read) const override;
    void set(std::string_view key, DefaultsValue value) override;
    void remove(std::string_view key) override;
    std::vector<std::string> keys() const override;

    const DefaultsValue::Dictionary& values() const { return values_; }
    // How many writes (set or remove) have reached this database; lets tests count write-through.
    std::size_t writeCount() const { return writeCount_; }

  protected:
    DefaultsValue::Dictionary values_;
    std::size_t writeCount_ = 0;
};

}  // namespace mosaiko
