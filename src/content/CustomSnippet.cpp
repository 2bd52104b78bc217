#include "content/CustomSnippet.hpp"

#include "content/JsonDecoding.hpp"

namespace mosaiko {

using namespace json_decoding;

CustomSnippet CustomSnippet::fromJson(const Json& json) {
    requireObject(json, "snippet");
    return CustomSnippet{requiredString(json, "id"), requiredString(json, "name"),
                         requiredString(json, "insertText"), requiredStringArray(json, "shortcodes"),
                         requiredStringArray(json, "keywords")};
}

Json CustomSnippet::toJson() const {
    return Json{{"id", id},
                {"name", name},
                {"insertText", insertText},
                {"shortcodes", shortcodes},
                {"keywords", keywords}};
}

}  // namespace mosaiko
