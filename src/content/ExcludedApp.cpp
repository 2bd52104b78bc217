#include "content/ExcludedApp.hpp"

#include "content/JsonDecoding.hpp"

namespace mosaiko {

using namespace json_decoding;

ExcludedApp ExcludedApp::fromJson(const Json& json) {
    requireObject(json, "excluded application");
    return ExcludedApp{requiredString(json, "name"), optionalString(json, "bundleIdentifier")};
}

Json ExcludedApp::toJson() const {
    Json json = {{"name", name}};
    if (bundleIdentifier) json["bundleIdentifier"] = *bundleIdentifier;
    return json;
}

}  // namespace mosaiko
