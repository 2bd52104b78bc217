#include "platform/DefaultsDatabase.hpp"

#include <charconv>
#include <cmath>

namespace mosaiko {

namespace {

std::string lowerAscii(std::string s) {
    for (auto& c : s) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    return s;
}

std::optional<double> parseNumber(const std::string& s) {
    double d = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (ec != std::errc() || ptr != s.data() + s.size()) return std::nullopt;
    return d;
}

std::int64_t clampToInt64(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9.2e18) return INT64_MAX;
    if (d <= -9.2e18) return INT64_MIN;
    return static_cast<std::int64_t>(d);
}

}  // namespace

bool DefaultsDatabase::boolValue(std::string_view key) const {
    auto v = object(key);
    if (!v) return false;
    if (auto b = v->get<bool>()) return *b;
    if (auto i = v->get<std::int64_t>()) return *i != 0;
    if (auto d = v->get<double>()) return *d != 0.0;
    if (auto s = v->get<std::string>()) {
        const auto l = lowerAscii(*s);
        if (l == "true" || l == "yes") return true;
        if (auto n = parseNumber(l)) return *n != 0.0;
    }
    return false;
}

std::int64_t DefaultsDatabase::integer(std::string_view key) const {
    auto v = object(key);
    if (!v) return 0;
    if (auto i = v->get<std::int64_t>()) return *i;
    if (auto b = v->get<bool>()) return *b ? 1 : 0;
    if (auto d = v->get<double>()) return clampToInt64(*d);
    if (auto s = v->get<std::string>()) {
        if (auto n = parseNumber(*s)) return clampToInt64(*n);
    }
    return 0;
}

double DefaultsDatabase::doubleValue(std::string_view key) const {
    auto v = object(key);
    if (!v) return 0.0;
    if (auto d = v->get<double>()) return *d;
    if (auto i = v->get<std::int64_t>()) return static_cast<double>(*i);
    if (auto b = v->get<bool>()) return *b ? 1.0 : 0.0;
    if (auto s = v->get<std::string>()) return parseNumber(*s).value_or(0.0);
    return 0.0;
}

std::optional<std::string> DefaultsDatabase::string(std::string_view key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    if (auto s = v->get<std::string>()) return *s;
    return std::nullopt;
}

std::optional<std::string> DefaultsDatabase::data(std::string_view key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    if (auto d = v->get<DefaultsData>()) return std::move(d->bytes);
    return std::nullopt;
}

bool DefaultsDatabase::readData(std::string_view key,
                                const std::function<void(std::string_view)>& read) const {
    const auto bytes = data(key);
    if (!bytes) return false;
    read(*bytes);
    return true;
}

std::optional<std::vector<std::string>> DefaultsDatabase::stringArray(std::string_view key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    auto array = v->get<DefaultsValue::Array>();
    if (!array) return std::nullopt;
    std::vector<std::string> result;
    result.reserve(array->size());
    for (const auto& element : *array) {
        auto s = element.get<std::string>();
        if (!s) return std::nullopt;
        result.push_back(*s);
    }
    return result;
}

std::optional<std::string> DefaultsDatabase::preserveUndecodable(std::string_view key) {
    auto v = object(key);
    if (!v) return std::nullopt;
    const std::string base = std::string(key) + ".corrupt";
    for (int n = 1;; ++n) {
        const std::string candidate = n == 1 ? base : base + "." + std::to_string(n);
        auto existing = object(candidate);
        if (existing && *existing == *v) return candidate;  // already kept
        if (!existing) {
            set(candidate, *v);
            didKeepUndecodable(key, candidate);
            return candidate;
        }
    }
}

}  // namespace mosaiko
