#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mosaiko::base64 {

std::string encode(std::string_view bytes);
// No value when the text holds anything but the standard alphabet with correct padding.
std::optional<std::string> decode(std::string_view text);

}  // namespace mosaiko::base64
