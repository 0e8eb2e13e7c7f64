#include "readers/WholeFileReader.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace trovimo {

WholeFileReader::WholeFileReader(std::size_t initialCapacity, std::size_t limit)
    : buffer_(std::max<std::size_t>(initialCapacity, 64)), limit_(limit) {}

bool isKernelGenerated(int fd) noexcept {
    struct statfs info {};
    return ::fstatfs(fd, &info) == 0 &&
           (info.f_type == PROC_SUPER_MAGIC || info.f_type == SYSFS_MAGIC);
}

std::optional<std::string_view> WholeFileReader::read(const char* path) {
    for (auto kept = kept_.begin(); kept != kept_.end(); ++kept) {
        if (std::strcmp(kept->path.c_str(), path) != 0) {
            continue;
        }
        if (const auto text = readAll(kept->fd.get())) {
            return text;
        }
        // Gone (a device removed, a process ended) or broken: look the path up again.
        kept_.erase(kept);
        break;
    }
    // Regular files only (procfs and sysfs files are): a FIFO or a device put in a file's
    // place could block a read for good. Opening a FIFO without a writer blocks too, unless
    // asked not to.
    UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    const auto text = readAll(fd.get());
    if (text && isKernelGenerated(fd.get())) {
        if (kept_.size() >= maximumKept) {
            kept_.erase(kept_.begin());
        }
        kept_.push_back({std::string(path), std::move(fd)});
    }
    return text;
}

std::optional<std::string_view> WholeFileReader::readAll(int fd) {
    std::size_t length = 0;
    for (;;) {
        if (length == buffer_.size()) {
            // Full: the file may go on. Grow and keep reading from where the kernel left off.
            if (buffer_.size() >= limit_) {
                return std::nullopt;
            }
            buffer_.resize(std::min(buffer_.size() * 2, limit_));
        }
        const ssize_t got = ::pread(fd, buffer_.data() + length, buffer_.size() - length,
                                    static_cast<off_t>(length));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            return std::string_view(buffer_.data(), length);
        }
        length += static_cast<std::size_t>(got);
    }
}

} // namespace trovimo
