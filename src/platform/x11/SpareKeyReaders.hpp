#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace mosaiko {

// Which clients have yet to read the keys typed on the spare keycodes. A client looks a key's
// meaning up only when it gets round to the key, which for a busy or stopped client may be long
// after the press: a spare keycode may be given another character only once every client that
// was sent a key on it has shown that it read that key (see X11ClientSigns). Keys are numbered in
// the order they are typed; a client that has read key n has read every key before it.
class SpareKeyReaders {
  public:
    // A client, by its window; kUnknown where none can be told (the focus on the root).
    using Reader = unsigned long;
    static constexpr Reader kUnknown = 0;

    // Key `key`, for `reader`, was typed on `keycode`.
    void typed(unsigned keycode, Reader reader, std::uint64_t key);
    // `reader` has read every key up to `key`.
    void read(Reader reader, std::uint64_t key);
    // `reader` is gone (its window was destroyed): it reads nothing more.
    void gone(Reader reader);
    // `keycode` no longer holds what its keys typed (a new keymap took it): nothing on it is awaited.
    void forget(unsigned keycode);

    // The last key `reader` is known to have read; 0 when none.
    std::uint64_t readThrough(Reader reader) const;
    // Whether every key typed on `keycode` has been read.
    bool isRead(unsigned keycode) const;
    // The readers `keycode` waits for, each with the last key it was sent on it.
    std::vector<std::pair<Reader, std::uint64_t>> awaited(unsigned keycode) const;

  private:
    std::map<unsigned, std::map<Reader, std::uint64_t>> unread_;  // keycode: reader, its last key
    std::map<Reader, std::uint64_t> readThrough_;
};

}  // namespace mosaiko
