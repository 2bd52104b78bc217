#pragma once

#include <filesystem>

namespace mosaiko {

// The absolute path of the running executable (from /proc/self/exe); empty when it cannot be read.
std::filesystem::path currentExecutablePath();

}  // namespace mosaiko
