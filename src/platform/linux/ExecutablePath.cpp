#include "platform/linux/ExecutablePath.hpp"

#include <string_view>
#include <system_error>

namespace mosaiko {

std::filesystem::path currentExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    // A binary replaced while it runs reads as "<path> (deleted)"; the path names its successor.
    static constexpr std::string_view kDeleted = " (deleted)";
    auto text = path.string();
    if (text.ends_with(kDeleted)) text.resize(text.size() - kDeleted.size());
    return text;
}

}  // namespace mosaiko
