#include "readers/DeviceFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace trovimo {

namespace {

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

bool deviceFileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::vector<std::string> entriesStartingWith(const std::string& folder, std::string_view prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.starts_with(prefix)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
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
