#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiko {

// A file of records added at its end, for data that grows by small steps: adding costs the size of
// the record, not of the file.
class AppendLog {
  public:
    virtual ~AppendLog() = default;

    // The whole content; no value when there is no file yet or it cannot be read.
    virtual std::optional<std::string> read() = 0;
    // Adds `bytes` at the end; false when they could not be written in full.
    virtual bool append(std::string_view bytes) = 0;
    // Replaces the whole content so that a crash leaves either the old or the new content.
    virtual bool replace(std::string_view bytes) = 0;
    // Keeps the current content aside under a name of its own, never overwriting anything; the log
    // keeps it too until it is replaced. The name it was kept under, or nothing when it could not
    // be kept.
    virtual std::optional<std::string> keepAside() = 0;
    virtual void remove() = 0;
};

// A log that lives in memory (tests, and stores given no file).
class MemoryAppendLog final : public AppendLog {
  public:
    std::optional<std::string> read() override { return content; }
    bool append(std::string_view bytes) override {
        if (failWrites) return false;
        content = content.value_or("") + std::string(bytes);
        bytesWritten += bytes.size();
        return true;
    }
    bool replace(std::string_view bytes) override {
        if (failWrites) return false;
        content = std::string(bytes);
        bytesWritten += bytes.size();
        ++replacements;
        return true;
    }
    std::optional<std::string> keepAside() override {
        if (!content) return std::nullopt;
        keptAside.push_back(*content);
        return "aside-" + std::to_string(keptAside.size());
    }
    void remove() override { content.reset(); }

    std::optional<std::string> content;
    std::vector<std::string> keptAside;
    bool failWrites = false;
    std::size_t bytesWritten = 0;
    std::size_t replacements = 0;
};

}  // namespace mosaiko
