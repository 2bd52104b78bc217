#include "content/UsageHistoryLog.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>

#include "platform/Json.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

// One event as a line; no value for a timestamp JSON cannot hold (infinity, NaN).
std::optional<std::string> encodeLine(const UsageEvent& event) {
    if (!std::isfinite(event.timestamp)) return std::nullopt;
    std::string line = R"({"emoji":)";
    const auto& s = event.emoji;
    const bool plain =
        std::none_of(s.begin(), s.end(),
                     [](char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; }) &&
        text::isValidUtf8(s);
    // Most texts need no escaping; the others go through the JSON library (which also replaces
    // invalid UTF-8 and escapes line breaks, so one event stays one line).
    line += plain ? '"' + s + '"' : json::dump(Json(s));
    line += R"(,"timestamp":)";
    char number[32];
    line.append(number, std::to_chars(number, number + sizeof number, event.timestamp).ptr);
    line += "}\n";
    return line;
}

std::optional<UsageEvent> decodeLine(std::string_view line) {
    auto json = json::parse(line);
    if (!json || !json->is_object()) return std::nullopt;
    auto emoji = json::string(*json, "emoji");
    auto timestamp = json->find("timestamp");
    if (!emoji || timestamp == json->end() || !timestamp->is_number()) return std::nullopt;
    return UsageEvent{std::move(*emoji), timestamp->get<double>()};
}

std::string encode(const UsageHistoryLog::History& history) {
    std::string out;
    out.reserve(history.size() * 48);
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
        if (auto line = encodeLine(*it)) out += *line;
    }
    return out;
}

}  // namespace

std::optional<UsageHistoryLog::History> UsageHistoryLog::load() {
    auto bytes = file_.read();
    if (!bytes) return std::nullopt;
    History history;
    std::size_t start = 0;
    bool whole = true;
    while (start < bytes->size()) {
        const auto end = bytes->find('\n', start);
        auto event = decodeLine(std::string_view(*bytes).substr(start, end - start));
        // A line that does not read costs only its own event; an unfinished last line is a torn write.
        if (event && end != std::string::npos) {
            history.push_front(std::move(*event));
        } else {
            whole = false;
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    lines_ = history.size();
    if (!whole) {
        const auto aside = file_.keepAside();
        std::cerr << "Mosaiko: the usage history could not be read in full; "
                  << (aside ? "it was kept as " + *aside : std::string("it could not be moved aside")) << ". "
                  << history.size() << " uses were read from it.\n";
        // Without a copy aside the log stays as it was: nothing is written over it this session.
        if (aside)
            rewrite(history);
        else
            writable_ = false;
    }
    return history;
}

void UsageHistoryLog::appendNewest(const History& history) {
    if (history.empty() || !writable_) return;
    if (needsRewrite_ || lines_ + 1 > history.size() + slack(history.size())) {
        rewrite(history);
        return;
    }
    const auto line = encodeLine(history.front());
    if (!line) return;  // nothing can be written for it; memory keeps it
    if (file_.append(*line))
        ++lines_;
    else
        needsRewrite_ = true;  // a partial line may be there: the next write replaces the log
}

bool UsageHistoryLog::rewrite(const History& history) {
    if (!writable_) return false;
    const bool written = file_.replace(encode(history));
    needsRewrite_ = !written;
    if (written) lines_ = history.size();
    return written;
}

void UsageHistoryLog::remove() {
    file_.remove();  // deleting on purpose: an unreadable log goes too
    writable_ = true;
    lines_ = 0;
    needsRewrite_ = false;
}

}  // namespace mosaiko
