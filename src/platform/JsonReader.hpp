#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiko {

// Reads JSON text of a known shape (objects, arrays and strings) straight into values, for stored
// values large enough that the general reader's pass shows: a user's 10,000 snippets are 1.2 MB,
// which it read character by character and built into a tree before a snippet was made. It reads
// only what it reads exactly as the general reader would, and declines everything else (numbers,
// literals, escaped surrogates, a key given twice or one the shape does not name, any fault): once
// it has declined, ok() is false and the caller asks the general reader, which decides.
class JsonReader {
  public:
    // A member the shape knows: its reader reads the value; a required one must be there.
    struct Field {
        std::string_view key;
        std::function<bool()> read;
        bool required = true;
    };

    explicit JsonReader(std::string_view text) : text_(text) {}

    bool ok() const { return ok_; }

    // An array, each element read by `element`.
    bool array(const std::function<bool()>& element);
    // An object whose members are all among `fields`, each at most once, every required one there.
    bool object(std::initializer_list<Field> fields);

    bool readString(std::string& out);
    bool readStringArray(std::vector<std::string>& out);
    // An object of string values.
    bool readStringMap(std::map<std::string, std::string>& out);

    // Nothing but white space is left.
    bool atEnd();

  private:
    bool decline();
    void skipSpace();
    bool take(char c);
    // The escape after a backslash, appended to `out`.
    bool readEscape(std::string& out);
    // The members of an object: `member` reads the value after each key.
    bool members(const std::function<bool(const std::string& key)>& member);

    std::string_view text_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace mosaiko
