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

bool CustomSnippet::read(JsonReader& reader, CustomSnippet& snippet) {
    return reader.object({{"id", [&] { return reader.readString(snippet.id); }},
                          {"name", [&] { return reader.readString(snippet.name); }},
                          {"insertText", [&] { return reader.readString(snippet.insertText); }},
                          {"shortcodes", [&] { return reader.readStringArray(snippet.shortcodes); }},
                          {"keywords", [&] { return reader.readStringArray(snippet.keywords); }}});
}

}  // namespace mosaiko
