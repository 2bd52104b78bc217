#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace mosaiko::atomicfile {

// The file `path` names once its symbolic links are followed (a relative link from the link's own
// folder); the path itself when it is no link, also when that file does not exist yet. No value
// for a loop of links.
std::optional<std::filesystem::path> resolveLinks(const std::filesystem::path& path);

// Writes `bytes` so that a crash at any moment leaves either the old or the new file whole: into a
// temporary file beside the target, synced, then renamed over it. A symbolic link at `path` is
// followed, so the file it names is replaced and the link stays (dotfile managers keep such
// links), as long as the folder it points into exists. Missing folders of `path` itself are
// created. A file we may not write (read-only) is not replaced. Returns an error text on failure.
std::optional<std::string> write(const std::filesystem::path& path, std::string_view bytes, mode_t mode);

// Renames `file` to a name of its own beside it ("<file><suffix><UTC time>", with a number added
// when that is taken): two files kept in the same second never share one and nothing is replaced.
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file, std::string_view suffix);

// Gives `file` a second name of its own beside it, as moveAside() names it, and leaves it where it
// is: what it holds is kept aside before the file is replaced. Where the file already has such a
// name (it was kept aside and not replaced since), that one is given. Fails on a file system without
// hard links.
std::optional<std::filesystem::path> linkAside(const std::filesystem::path& file, std::string_view suffix);

// Removes the temporary files that writers killed in the middle of write() left beside the file
// `path` names. Only safe while no other writer of that file can be running.
void removeLeftovers(const std::filesystem::path& path);

}  // namespace mosaiko::atomicfile
