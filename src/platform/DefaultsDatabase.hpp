#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mosaiko {

// Raw bytes stored as one value (the stores keep their JSON this way).
struct DefaultsData {
    std::string bytes;
    bool operator==(const DefaultsData&) const = default;
};

// One typed value of the defaults database.
class DefaultsValue {
  public:
    using Array = std::vector<DefaultsValue>;
    using Dictionary = std::map<std::string, DefaultsValue, std::less<>>;
    using Storage = std::variant<bool, std::int64_t, double, std::string, DefaultsData, Array, Dictionary>;

    DefaultsValue() : storage_(false) {}
    DefaultsValue(bool v) : storage_(v) {}
    DefaultsValue(int v) : storage_(static_cast<std::int64_t>(v)) {}
    DefaultsValue(std::int64_t v) : storage_(v) {}
    DefaultsValue(double v) : storage_(v) {}
    DefaultsValue(std::string v) : storage_(std::move(v)) {}
    DefaultsValue(const char* v) : storage_(std::string(v)) {}
    DefaultsValue(DefaultsData v) : storage_(std::move(v)) {}
    DefaultsValue(Array v) : storage_(std::move(v)) {}
    DefaultsValue(Dictionary v) : storage_(std::move(v)) {}

    const Storage& storage() const { return storage_; }
    template <class T>
    const T* get() const {
        return std::get_if<T>(&storage_);
    }
    template <class T>
    T* get() {
        return std::get_if<T>(&storage_);
    }

    bool operator==(const DefaultsValue&) const = default;

  private:
    Storage storage_;
};

// The per-user key-value store of preferences and state. Every change is visible to every reader
// at once; how and when it reaches disk is the implementation's business.
class DefaultsDatabase {
  public:
    virtual ~DefaultsDatabase() = default;

    virtual std::optional<DefaultsValue> object(std::string_view key) const = 0;
    virtual void set(std::string_view key, DefaultsValue value) = 0;
    virtual void remove(std::string_view key) = 0;
    virtual std::vector<std::string> keys() const = 0;

    // Without copying the value, which may be megabytes of a user's snippets.
    virtual bool contains(std::string_view key) const { return object(key).has_value(); }
    // The bytes of the data value under `key`, lent to `read` where they are instead of copied (a
    // user's snippets are megabytes); false, without calling `read`, when there is no data value.
    // `read` must not use the database.
    virtual bool readData(std::string_view key, const std::function<void(std::string_view)>& read) const;

    // Typed readings with the usual coercions: absent gives false / 0 / 0.0; numbers convert
    // between each other; strings "true"/"yes"/"1" read as true and numeric strings as numbers.
    bool boolValue(std::string_view key) const;
    std::int64_t integer(std::string_view key) const;
    double doubleValue(std::string_view key) const;
    // Exact-type readings: no value when absent or of another type.
    std::optional<std::string> string(std::string_view key) const;
    std::optional<std::string> data(std::string_view key) const;
    std::optional<std::vector<std::string>> stringArray(std::string_view key) const;

    // Keeps the bytes of a value that could not be decoded before a store replaces it: they are
    // copied to "<key>.corrupt" (or "<key>.corrupt.2", ... when that is taken by other bytes).
    // Returns the key the value was kept under, or nothing when there was nothing to keep.
    std::optional<std::string> preserveUndecodable(std::string_view key);

  protected:
    // Told when preserveUndecodable() has kept a value under `keptAs` (not when it was kept before).
    virtual void didKeepUndecodable(std::string_view /*key*/, std::string_view /*keptAs*/) {}
};

}  // namespace mosaiko
