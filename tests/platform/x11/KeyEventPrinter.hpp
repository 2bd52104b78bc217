#pragma once

#include <iomanip>
#include <ostream>

#include "platform/KeyEvent.hpp"

namespace mosaiko {

// Readable key events in test failures.
inline void PrintTo(const KeyEvent& e, std::ostream* out) {
    auto escaped = [](const std::string& text) {
        std::string result;
        for (unsigned char c : text) {
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
                result += buffer;
            } else {
                result += static_cast<char>(c);
            }
        }
        return result;
    };
    *out << "{type " << static_cast<std::uint32_t>(e.type) << ", code " << e.keyCode << ", flags 0x"
         << std::hex << e.modifierFlags << std::dec << ", \"" << escaped(e.characters) << "\" / \""
         << escaped(e.charactersIgnoringModifiers) << "\", user " << e.userData << (e.held ? ", held" : "")
         << "}";
}

}  // namespace mosaiko
