#include "content/EmojiCollection.hpp"

#include "content/JsonDecoding.hpp"

namespace mosaiko {

using namespace json_decoding;

EmojiCollection EmojiCollection::fromJson(const Json& json) {
    requireObject(json, "collection");
    EmojiCollection collection;
    collection.id = requiredString(json, "id");
    collection.name = requiredString(json, "name");
    collection.itemIDs = requiredStringArray(json, "itemIDs");
    if (auto it = json.find("itemAliasesByID"); it != json.end() && !it->is_null()) {
        auto aliases = json::stringMap(*it);
        if (!aliases) throw DecodingError("\"itemAliasesByID\" is not an object of strings");
        collection.itemAliasesByID = std::move(*aliases);
    }
    return collection;
}

Json EmojiCollection::toJson() const {
    return Json{{"id", id}, {"name", name}, {"itemIDs", itemIDs}, {"itemAliasesByID", Json(itemAliasesByID)}};
}

bool EmojiCollection::read(JsonReader& reader, EmojiCollection& collection) {
    return reader.object(
        {{"id", [&] { return reader.readString(collection.id); }},
         {"name", [&] { return reader.readString(collection.name); }},
         {"itemIDs", [&] { return reader.readStringArray(collection.itemIDs); }},
         {"itemAliasesByID", [&] { return reader.readStringMap(collection.itemAliasesByID); }, false}});
}

}  // namespace mosaiko
