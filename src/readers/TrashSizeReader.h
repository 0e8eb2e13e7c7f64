#pragma once

#include "core/UniqueFd.h"
#include "model/TrashSource.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// One line of the trash's directorysizes cache: "size mtime percent-encoded-name", the size
// being the trashed directory's disk usage as du -B1 reckons it and the mtime that of its
// .trashinfo file when the size was taken.
struct DirectorySize {
    std::string name;
    std::int64_t bytes = 0;
    std::int64_t mtime = 0;

    friend bool operator==(const DirectorySize&, const DirectorySize&) = default;
};

// The cache's lines, sorted by name; malformed lines are left out.
[[nodiscard]] std::vector<DirectorySize> parseDirectorySizes(std::string_view text);

// What one count of the trash may cost, however large the trash is.
struct TrashCountLimits {
    std::size_t entries = 200'000; // names looked at; a cached directory counts one
    std::size_t depth = 64;        // nested folders inside one trashed folder
    std::chrono::milliseconds time{2000};
};

// The disk space of the user's trash (the freedesktop.org trash of the home volume): the
// sizes of the entries in its files/ folder, a trashed folder's taken from directorysizes
// while the cache still matches its .trashinfo (and is no more than the volume holds), else
// counted by walking it. Never more than the volume's space in use. A file counts its
// allocated blocks (st_blocks × 512); hard links count once per name. 0 when the trash is
// missing or empty, or lies on another volume than the home directory.
class TrashSizeReader final : public TrashSource {
public:
    explicit TrashSizeReader(std::string trashDirectory = defaultTrashDirectory(),
                             std::string home = {}, TrashCountLimits limits = {});

    // Where a limit cuts the count short, what was counted until then: a lower bound, not
    // 0. Absent when files/ cannot be listed. Either is logged once when it begins. Arms the
    // change watch on files/ first, so a trash made after start is watched from its first
    // count on.
    [[nodiscard]] std::optional<std::int64_t> read() override;

    [[nodiscard]] int changeDescriptor() const noexcept override { return watch_.get(); }
    void drainChanges() const noexcept override;

    // $XDG_DATA_HOME/Trash, else ~/.local/share/Trash; empty when there is no home.
    [[nodiscard]] static std::string defaultTrashDirectory();

private:
    enum class Count : std::uint8_t { complete, cutShort, failed };
    void report(Count count, int error);

    std::string trash_;
    std::string home_;
    TrashCountLimits limits_;
    UniqueFd watch_; // inotify
    Count lastCount_ = Count::complete;
};

} // namespace trovimo
