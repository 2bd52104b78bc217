#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "content/UsageEvent.hpp"
#include "platform/AppendLog.hpp"

namespace mosaiko {

// The usage history kept in a log of its own: one JSON object per line ({"emoji", "timestamp"}),
// oldest first. A recording appends one line; once the log holds many more lines than the history
// (whose oldest events were cut in memory), it is rewritten with the history alone.
class UsageHistoryLog {
  public:
    using History = std::deque<UsageEvent>;  // newest first

    explicit UsageHistoryLog(AppendLog& file) : file_(file) {}

    // The events of the log, newest first; no value when there is no log. A line that does not
    // read (a damaged line, a torn tail) costs only its own event: the whole log is moved aside and
    // the events that read are written back.
    std::optional<History> load();
    // Adds the newest event of `history`, or rewrites the log when that is due (many cut events,
    // or an earlier write that failed).
    void appendNewest(const History& history);
    // Writes `history` as the whole log; false when it could not be written.
    bool rewrite(const History& history);
    void remove();

    // Lines a log may hold beyond the history before it is rewritten.
    static std::size_t slack(std::size_t historySize) { return std::max<std::size_t>(64, historySize / 4); }

  private:
    AppendLog& file_;
    std::size_t lines_ = 0;      // events the log holds
    bool needsRewrite_ = false;  // a write failed: its content no longer matches the history
    bool writable_ = true;       // false while an unreadable log could not be moved aside
};

}  // namespace mosaiko
