#include "readers/WholeFileReader.h"

#include "readers/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace trovimo {

WholeFileReader::WholeFileReader(std::size_t initialCapacity, std::size_t limit)
    : buffer_(std::max<std::size_t>(initialCapacity, 64)), limit_(limit) {}

std::optional<std::string_view> WholeFileReader::read(const char* path) {
    const UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd) {
        return std::nullopt;
    }
    std::size_t length = 0;
    for (;;) {
        if (length == buffer_.size()) {
            // Full: the file may go on. Grow and keep reading from where the kernel left off.
            if (buffer_.size() >= limit_) {
                return std::nullopt;
            }
            buffer_.resize(std::min(buffer_.size() * 2, limit_));
        }
        const ssize_t got = ::read(fd.get(), buffer_.data() + length, buffer_.size() - length);
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

std::string pathUnderRoot(std::string_view root, std::string_view relative) {
    while (!root.empty() && root.back() == '/') {
        root.remove_suffix(1);
    }
    while (!relative.empty() && relative.front() == '/') {
        relative.remove_prefix(1);
    }
    std::string path;
    path.reserve(root.size() + relative.size() + 1);
    path.append(root);
    path.push_back('/');
    path.append(relative);
    return path;
}

} // namespace trovimo
