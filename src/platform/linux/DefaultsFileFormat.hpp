#pragma once

#include <string>
#include <string_view>

#include "platform/DefaultsDatabase.hpp"

namespace mosaiko {

// The text of the defaults file: {"mosaikoDefaults":1,"values":{key: value, ...}}, where data,
// dictionaries and non-finite numbers are tagged objects ({"$data": base64}, {"$dict": {...}},
// {"$double": "nan"}), since plain JSON cannot tell them apart from strings and objects.
//
// Reading is per key: one value that does not read (a foreign type, a syntax error, a number out
// of range, broken UTF-8, nesting deeper than kMaxDepth) costs only its own key. Every other key
// is kept, and the result says that the file was not read in full, so the caller can keep the
// original aside.
class DefaultsFileFormat {
  public:
    struct Decoded {
        DefaultsValue::Dictionary values;
        bool complete = true;  // every key of the file was read
    };

    // Deeper values count as unreadable: decoding recurses once per level.
    static constexpr int kMaxDepth = 64;

    static std::string encode(const DefaultsValue::Dictionary& values);
    static Decoded decode(std::string_view text);
};

}  // namespace mosaiko
