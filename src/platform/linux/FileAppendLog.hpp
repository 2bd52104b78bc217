#pragma once

#include <filesystem>

#include "platform/AppendLog.hpp"

namespace mosaiko {

// An append log in a file. Appends go through one descriptor opened for appending, so each record
// costs one write of its own bytes; a replacement is written beside the file and renamed over it
// (see atomicfile::write); the first read() removes the temporary files of replacements that were
// cut short. Something that is not a regular file in its place is left alone and nothing is
// written there. A write that fails is said once on stderr until one works again.
class FileAppendLog final : public AppendLog {
  public:
    explicit FileAppendLog(std::filesystem::path file) : file_(std::move(file)) {}
    ~FileAppendLog() override { closeDescriptor(); }
    FileAppendLog(const FileAppendLog&) = delete;
    FileAppendLog& operator=(const FileAppendLog&) = delete;

    std::optional<std::string> read() override;
    bool append(std::string_view bytes) override;
    bool replace(std::string_view bytes) override;
    std::optional<std::string> keepAside() override;
    void remove() override;

    const std::filesystem::path& path() const { return file_; }
    // Writes nothing from now on: another copy of the program may take the file over.
    void close();

  private:
    void closeDescriptor();
    bool note(bool worked, const std::string& problem);

    std::filesystem::path file_;
    int fd_ = -1;
    bool leftAlone_ = false;  // something other than a regular file is in the log's place
    bool failing_ = false;
    bool closed_ = false;
    bool leftoversRemoved_ = false;
};

}  // namespace mosaiko
