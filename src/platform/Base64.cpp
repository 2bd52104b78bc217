#include "platform/Base64.hpp"

#include <array>
#include <cstdint>

namespace mosaiko::base64 {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Each byte's value in the alphabet, -1 for a byte outside it.
constexpr std::array<std::int8_t, 256> kValues = [] {
    std::array<std::int8_t, 256> values{};
    values.fill(-1);
    for (int i = 0; i < 64; ++i)
        values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    return values;
}();

int valueOf(char c) {
    return kValues[static_cast<unsigned char>(c)];
}

// The same values already in their place among a group's 24 bits, and a bit of their own for a
// byte outside the alphabet: a group is then four lookups and an OR.
constexpr std::uint32_t kOutside = 1u << 31;
template <int Shift>
constexpr std::array<std::uint32_t, 256> placedValues() {
    std::array<std::uint32_t, 256> placed{};
    for (std::size_t c = 0; c < 256; ++c)
        placed[c] = kValues[c] < 0 ? kOutside : static_cast<std::uint32_t>(kValues[c]) << Shift;
    return placed;
}
constexpr auto kFirst = placedValues<18>(), kSecond = placedValues<12>(), kThird = placedValues<6>(),
               kFourth = placedValues<0>();
}  // namespace

std::string encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t n =
            (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8) | std::uint8_t(bytes[i + 2]);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const std::uint32_t n = std::uint8_t(bytes[i]) << 16;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        const std::uint32_t n = (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += '=';
    }
    return out;
}

std::optional<std::string> decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out(text.size() / 4 * 3, '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    char* to = out.data();
    // Every group but the last, which alone may be padded, four values at once: a user's snippets
    // are megabytes of it, read at every start.
    const std::size_t unpadded = text.empty() ? 0 : text.size() - 4;
    for (std::size_t i = 0; i < unpadded; i += 4, to += 3) {
        const std::uint32_t n = kFirst[in[i]] | kSecond[in[i + 1]] | kThird[in[i + 2]] | kFourth[in[i + 3]];
        if (n & kOutside) return std::nullopt;
        to[0] = static_cast<char>(n >> 16);
        to[1] = static_cast<char>(n >> 8);
        to[2] = static_cast<char>(n);
    }
    std::size_t written = static_cast<std::size_t>(to - out.data());
    for (std::size_t i = unpadded; i < text.size(); i += 4) {
        std::array<int, 4> v{};
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && k >= 2) {
                ++padding;
                v[k] = 0;
                continue;
            }
            if (padding > 0) return std::nullopt;  // data after padding
            v[k] = valueOf(c);
            if (v[k] < 0) return std::nullopt;
        }
        const std::uint32_t n = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        out[written++] = static_cast<char>((n >> 16) & 0xFF);
        if (padding < 2) out[written++] = static_cast<char>((n >> 8) & 0xFF);
        if (padding < 1) out[written++] = static_cast<char>(n & 0xFF);
    }
    out.resize(written);
    return out;
}

}  // namespace mosaiko::base64
