#include "readers/DeviceFile.h"

#include "readers/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>

namespace trovimo {

namespace {

constexpr std::size_t initialCapacity = 4096;
// Far beyond any sysfs value or /proc/net table; a broken or hostile file must not eat memory.
constexpr std::size_t sizeLimit = std::size_t{8} << 20;

bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

std::string rootedPath(std::string_view root, std::string_view path) {
    while (!root.empty() && root.back() == '/') {
        root.remove_suffix(1);
    }
    std::string joined(root);
    joined += path;
    return joined;
}

bool readDeviceFile(const std::string& path, std::string& buffer) {
    buffer.clear();
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return false;
    }
    // procfs and sysfs report a size of 0 or 4096 whatever the content, so read until EOF and
    // grow as needed: a single fixed-size read cuts long tables short on big machines.
    std::size_t used = 0;
    for (;;) {
        if (buffer.capacity() < initialCapacity) {
            buffer.reserve(initialCapacity);
        }
        if (used == buffer.capacity()) {
            if (used >= sizeLimit) {
                buffer.clear();
                return false;
            }
            buffer.reserve(buffer.capacity() * 2);
        }
        buffer.resize(buffer.capacity());
        const ssize_t got = ::read(fd.get(), buffer.data() + used, buffer.size() - used);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            buffer.clear();
            return false;
        }
        if (got == 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    buffer.resize(used);
    return true;
}

bool deviceFileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string_view trimmedText(std::string_view text) noexcept {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::int64_t> parseSysfsInteger(std::string_view text) noexcept {
    text = trimmedText(text);
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint64_t> parseSysfsUnsigned(std::string_view text) noexcept {
    text = trimmedText(text);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    // from_chars accepts a minus sign for unsigned types on no compiler, but be explicit.
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> parseKgslBusyPercent(std::string_view text) noexcept {
    text = trimmedText(text);
    if (text.empty() || text.back() != '%') {
        return std::nullopt;
    }
    text.remove_suffix(1);
    return parseSysfsInteger(text);
}

double percentToFraction(std::int64_t percent) noexcept {
    return std::clamp(static_cast<double>(percent) / 100.0, 0.0, 1.0);
}

} // namespace trovimo
