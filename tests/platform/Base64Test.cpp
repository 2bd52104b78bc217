#include "platform/Base64.hpp"

#include <gtest/gtest.h>

#include <string>

namespace mosaiko {
namespace {

// Every byte value goes through and back, whatever the padding; anything outside the alphabet, or
// padding anywhere but at the end, reads as nothing, in any group.
TEST(Base64, DecodesWhatItEncodesAndNothingElse) {
    std::string bytes;
    for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
    for (std::size_t length : {0, 1, 2, 3, 4, 5, 256}) {
        const std::string part = bytes.substr(0, length);
        EXPECT_EQ(base64::decode(base64::encode(part)), part) << length;
    }
    for (const char* text :
         {"aGk", "aG=k", "a=Gk", "aGk=aGk=", "-Gk=aGk=", "aGk_aGk=", "aGk\x80SGk=", "aGk=\n"})
        EXPECT_FALSE(base64::decode(text)) << text;
}

}  // namespace
}  // namespace mosaiko
