#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
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
    // A member the shape knows: its reader reads the value; a required one must be there. The
    // reader is referred to, not kept: a field lives as long as the object() call it is given to.
    class Field {
      public:
        template <class Read>
        Field(std::string_view key, Read&& read, bool required = true)
            : key(key),
              required(required),
              read_(const_cast<void*>(static_cast<const void*>(&read))),
              call_([](void* r) { return (*static_cast<std::remove_reference_t<Read>*>(r))(); }) {}

        bool read() const { return call_(read_); }

        std::string_view key;
        bool required;

      private:
        void* read_;
        bool (*call_)(void*);
    };

    explicit JsonReader(std::string_view text) : text_(text) {}

    bool ok() const { return ok_; }

    // An array, each element read by `element`.
    template <class Element>
    bool array(Element&& element) {
        if (!ok_ || !take('[')) return decline();
        if (take(']')) return true;
        do {
            if (!element()) return decline();
        } while (take(','));
        return take(']') || decline();
    }
    // An object whose members are all among `fields` (at most 32), each at most once, every
    // required one there.
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
    // A string's text after its opening quote, up to the closing one: decoded into `out`, or, when
    // `view` is given and the string has no escape, only seen in place through `view`.
    bool readStringInto(std::string& out, std::string_view* view);
    // The escape after a backslash, appended to `out`.
    bool readEscape(std::string& out);
    // The members of an object: `member` reads the value after each key.
    template <class Member>
    bool members(Member&& member) {
        if (!ok_ || !take('{')) return decline();
        if (take('}')) return true;
        do {
            std::string_view key;
            if (!take('"') || !readStringInto(keyScratch_, &key) || !take(':') || !member(key))
                return decline();
        } while (take(','));
        return take('}') || decline();
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    bool ok_ = true;
    // A key with escapes, decoded; a member's key is looked at before its value is read.
    std::string keyScratch_;
};

}  // namespace mosaiko
