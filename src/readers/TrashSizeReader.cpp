#include "readers/TrashSizeReader.h"

#include "core/BoottimeClock.h"
#include "core/SystemLog.h"
#include "readers/Counters.h"
#include "readers/DiskStatsReader.h"
#include "readers/KernelText.h"
#include "readers/WholeFileReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace trovimo {
namespace {

// The cache lists one line per trashed folder; beyond this it is not read.
constexpr std::size_t directorySizesLimit = std::size_t{4} << 20;

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string name;
    name.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            name.push_back(text[at]);
            continue;
        }
        const auto byte =
            at + 2 < text.size() ? kerneltext::parseHexU64(text.substr(at + 1, 2)) : std::nullopt;
        if (!byte) {
            return std::nullopt;
        }
        name.push_back(static_cast<char>(*byte));
        at += 2;
    }
    // A name that could leave files/ is no trashed folder's.
    if (!kerneltext::isSafeFileName(name)) {
        return std::nullopt;
    }
    return name;
}

std::int64_t allocatedBytes(const struct stat& status) noexcept {
    // st_blocks is in 512-byte units whatever the file system's block size.
    if (status.st_blocks <= 0) {
        return 0;
    }
    return checkedProduct<std::int64_t>(status.st_blocks, 512)
        .value_or(std::numeric_limits<std::int64_t>::max());
}

struct DirCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

UniqueDir openDirectoryAt(int parent, const char* name) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
    }
    return UniqueDir(dir);
}

bool isDotOrDotDot(const char* name) noexcept {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// What is left of the limits during one count, and whether they cut it short.
class Budget {
public:
    explicit Budget(const TrashCountLimits& limits)
        : entries_(limits.entries), depth_(limits.depth),
          deadline_(BoottimeClock::now() + limits.time) {}

    // Takes one entry; false once the entries or the time are spent. The clock is asked
    // every 64 entries only.
    bool take() noexcept {
        if (entries_ > 0 && (entries_ % 64 != 0 || BoottimeClock::now() < deadline_)) {
            --entries_;
            return true;
        }
        entries_ = 0;
        cut_ = true;
        return false;
    }
    [[nodiscard]] bool spent() const noexcept { return entries_ == 0; }
    // Whether a folder `open` deep may be entered; one that may not is left out.
    bool enter(std::size_t open) noexcept {
        cut_ = cut_ || open >= depth_;
        return open < depth_;
    }
    [[nodiscard]] bool cut() const noexcept { return cut_; }

private:
    std::size_t entries_;
    std::size_t depth_;
    BoottimeClock::time_point deadline_;
    bool cut_ = false;
};

// The allocated bytes below the folder `name` of `parent` (not the folder's own), staying on
// the folder's file system as du -x does. Where the budget runs out or the nesting is deeper
// than it allows, what was counted so far; a folder that cannot be opened counts as empty, as
// du counts it.
std::int64_t contentsSize(int parent, const char* name, dev_t device, Budget& budget) {
    std::vector<UniqueDir> open;
    if (UniqueDir top = openDirectoryAt(parent, name)) {
        open.push_back(std::move(top));
    }
    std::int64_t total = 0;
    while (!open.empty()) {
        DIR* dir = open.back().get();
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            open.pop_back();
            continue;
        }
        if (isDotOrDotDot(entry->d_name)) {
            continue;
        }
        if (!budget.take()) {
            break;
        }
        struct stat status {};
        if (::fstatat(::dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        total = saturatingAdd(total, allocatedBytes(status));
        if (!S_ISDIR(status.st_mode) || status.st_dev != device || !budget.enter(open.size())) {
            continue;
        }
        if (UniqueDir child = openDirectoryAt(::dirfd(dir), entry->d_name)) {
            open.push_back(std::move(child));
        }
    }
    return total;
}

// The space in use on the file system of `fd`: no trashed folder takes more.
std::optional<std::int64_t> usedBytes(int fd) {
    struct statvfs volume {};
    if (::fstatvfs(fd, &volume) != 0 || volume.f_bfree > volume.f_blocks) {
        return std::nullopt;
    }
    return checkedProduct<std::int64_t>(volume.f_blocks - volume.f_bfree, volume.f_frsize);
}

const DirectorySize* findCached(const std::vector<DirectorySize>& cache, std::string_view name) {
    const auto found = std::lower_bound(
        cache.begin(), cache.end(), name,
        [](const DirectorySize& entry, std::string_view key) { return entry.name < key; });
    return found != cache.end() && found->name == name ? &*found : nullptr;
}

} // namespace

std::vector<DirectorySize> parseDirectorySizes(std::string_view text) {
    std::vector<DirectorySize> sizes;
    std::string_view line;
    while (kerneltext::nextLine(text, line)) {
        std::string_view rest = line;
        const auto bytes = kerneltext::nextU64(rest);
        const auto mtime = kerneltext::nextU64(rest);
        const std::string_view encoded = kerneltext::nextField(rest);
        constexpr auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        if (!bytes || !mtime || *bytes > limit || *mtime > limit ||
            !kerneltext::nextField(rest).empty()) {
            continue;
        }
        if (auto name = percentDecoded(encoded)) {
            sizes.push_back({std::move(*name), static_cast<std::int64_t>(*bytes),
                             static_cast<std::int64_t>(*mtime)});
        }
    }
    std::sort(sizes.begin(), sizes.end(),
              [](const DirectorySize& a, const DirectorySize& b) { return a.name < b.name; });
    return sizes;
}

TrashSizeReader::TrashSizeReader(std::string trashDirectory, std::string home,
                                 TrashCountLimits limits)
    : trash_(std::move(trashDirectory)),
      home_(home.empty() ? DiskStatsReader::homeDirectory() : std::move(home)), limits_(limits),
      watch_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

std::string TrashSizeReader::defaultTrashDirectory() {
    // Relative values are to be ignored, as the base directory specification says.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        return std::string(data) + "/Trash";
    }
    const std::string home = DiskStatsReader::homeDirectory();
    return home.empty() ? std::string() : home + "/.local/share/Trash";
}

void TrashSizeReader::drainChanges() const noexcept {
    alignas(inotify_event) char events[4096];
    while (watch_ && ::read(watch_.get(), events, sizeof events) > 0) {
    }
}

std::optional<std::int64_t> TrashSizeReader::read() {
    if (trash_.empty()) {
        return 0;
    }
    const std::string files = trash_ + "/files";
    if (watch_) {
        // Top-level changes only: what is trashed, restored or emptied. Adding the same
        // folder again just renews its watch; one made since the last count gets one now.
        ::inotify_add_watch(watch_.get(), files.c_str(),
                            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                IN_MOVE_SELF | IN_ONLYDIR);
    }
    UniqueDir dir(::opendir(files.c_str()));
    struct stat filesStatus {};
    if (!dir || ::fstat(::dirfd(dir.get()), &filesStatus) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            report(Count::complete, 0);
            return 0;
        }
        report(Count::failed, errno);
        return std::nullopt;
    }
    struct stat homeStatus {};
    if (::stat(home_.c_str(), &homeStatus) == 0 && homeStatus.st_dev != filesStatus.st_dev) {
        report(Count::complete, 0);
        return 0; // emptying it would free nothing on the home volume
    }

    WholeFileReader cacheFile(4096, directorySizesLimit);
    const auto cacheText = cacheFile.read(trash_ + "/directorysizes");
    const std::vector<DirectorySize> cache =
        cacheText ? parseDirectorySizes(*cacheText) : std::vector<DirectorySize>{};
    const UniqueFd info(::open((trash_ + "/info").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::string infoName;
    // A cached size beyond what the whole volume holds is no folder's: counted instead.
    const std::int64_t used =
        usedBytes(::dirfd(dir.get())).value_or(std::numeric_limits<std::int64_t>::max());

    Budget budget(limits_);
    std::int64_t total = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (isDotOrDotDot(entry->d_name)) {
            continue;
        }
        if (!budget.take()) {
            break;
        }
        struct stat status {};
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            continue; // restored or deleted meanwhile
        }
        if (!S_ISDIR(status.st_mode)) {
            total = saturatingAdd(total, allocatedBytes(status));
            continue;
        }
        // The cache holds while its mtime is the .trashinfo's: the size was taken after the
        // folder was trashed under that name.
        const DirectorySize* cached = findCached(cache, entry->d_name);
        struct stat infoStatus {};
        if (cached != nullptr && cached->bytes <= used && info) {
            infoName.assign(entry->d_name).append(".trashinfo");
            if (::fstatat(info.get(), infoName.c_str(), &infoStatus, 0) == 0 &&
                infoStatus.st_mtim.tv_sec == cached->mtime) {
                total = saturatingAdd(total, cached->bytes);
                continue;
            }
        }
        const std::int64_t contents =
            contentsSize(::dirfd(dir.get()), entry->d_name, status.st_dev, budget);
        total = saturatingAdd(total, saturatingAdd(allocatedBytes(status), contents));
        if (budget.spent()) {
            break;
        }
    }
    report(budget.cut() ? Count::cutShort : Count::complete, 0);
    return std::min(total, used);
}

void TrashSizeReader::report(Count count, int error) {
    if (count == lastCount_) {
        return;
    }
    lastCount_ = count;
    // Once when it starts, not on every count: the figure goes on as it is.
    if (count == Count::cutShort) {
        systemLog(logReaders(),
                  QStringLiteral("TrashSizeReader: ゴミ箱の中身が多すぎるため、数えた分（%1 項目、"
                                 "%2 階層、%3 秒まで）を解放可能な容量として表示します")
                      .arg(limits_.entries)
                      .arg(limits_.depth)
                      .arg(std::chrono::duration<double>(limits_.time).count()));
    } else if (count == Count::failed) {
        systemLog(logReaders(), QStringLiteral("TrashSizeReader: %1 を読めません: %2")
                                    .arg(QString::fromStdString(trash_ + "/files"),
                                         QString::fromLocal8Bit(std::strerror(error))));
    }
}

} // namespace trovimo
