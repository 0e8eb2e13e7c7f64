#pragma once

// The readers' toolkit for the files of /proc and /sys: where a file lives below the root a
// reader was given, and how its text is taken apart (namespace trovimo::kerneltext). Every
// reader uses these and no others.
//
//   pathUnderRoot(root, "proc/stat")   the one path joiner: exactly one slash between the two
//   pathExists(path)                   a file, folder or link that resolves is there
//   entriesStartingWith(folder, "gt")  the names in a folder with that prefix, sorted
//   isSafeFileName(name)               one path component that cannot leave its folder
//   nextLine(text, line)               takes the next line off the front of a text
//   nextField(line), skipField(line)   takes the next run of non-blanks off the front of a line
//   isBlank(c), trimmed(text)          blanks are space, tab, \n, \r, \v and \f
//   nextU64(line), skipU64(line)       parseU64(nextField(line)) in one pass; skip checks only
//   parseU64(token)                    a whole token of decimal digits
//   parseHexU64(token)                 a whole token of hex digits without "0x" (/proc/net/route)
//   parseDecimal(token)                a plain decimal fraction such as "12.34" (PSI's avg10)
//   parseSysfsInteger(text)            a one-value sysfs file, signed decimal ("37\n", "-5")
//   parseSysfsUnsigned(text)           a one-value sysfs file, decimal or "0x" hex ("0x10de\n")
//   numberAfterPrefix(name, prefix)    "cpu12" with "cpu" gives 12; nothing else but digits
//   splitAtColon(line, key, rest)      "MemTotal:  16 kB" into "MemTotal" and "  16 kB"
//   parseKibFigure(rest)               "  16 kB" in bytes (16384)
//
// The parsers return std::nullopt on anything malformed, on an empty token and on values
// beyond 64 bits. They work on views into the caller's buffer and never read past its end.
// Differences and sums of counters: readers/Counters.h.

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo::kerneltext {

// `relative` below `root`, with exactly one slash between them: ("/", "proc/stat") and
// ("/tmp/tree/", "/proc/stat") give "/proc/stat" and "/tmp/tree/proc/stat".
[[nodiscard]] std::string pathUnderRoot(std::string_view root, std::string_view relative);

[[nodiscard]] bool pathExists(const std::string& path);

// Empty when the folder cannot be listed.
[[nodiscard]] std::vector<std::string> entriesStartingWith(const std::string& folder,
                                                           std::string_view prefix);

// Not empty, ".", ".." or holding a '/' or NUL: a name from a kernel table or a cache file
// that is safe to append to a folder.
[[nodiscard]] bool isSafeFileName(std::string_view name) noexcept;

// False when nothing is left. A last line without a newline still counts.
inline bool nextLine(std::string_view& text, std::string_view& line) noexcept {
    if (text.empty()) {
        return false;
    }
    const auto end = text.find('\n');
    if (end == std::string_view::npos) {
        line = text;
        text = {};
    } else {
        line = text.substr(0, end);
        text.remove_prefix(end + 1);
    }
    return true;
}

[[nodiscard]] constexpr bool isBlank(char c) noexcept {
    // \t \n \v \f \r are 9 to 13; anything above the space is no blank at the first test.
    return c <= ' ' && (c == ' ' || (c >= '\t' && c <= '\r'));
}

[[nodiscard]] constexpr std::string_view trimmed(std::string_view text) noexcept {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

namespace detail {
[[nodiscard]] inline std::size_t afterBlanks(std::string_view line) noexcept {
    std::size_t start = 0;
    while (start < line.size() && isBlank(line[start])) {
        ++start;
    }
    return start;
}
} // namespace detail

// Empty at the end of the line.
[[nodiscard]] inline std::string_view nextField(std::string_view& line) noexcept {
    const std::size_t start = detail::afterBlanks(line);
    std::size_t end = start;
    while (end < line.size() && !isBlank(line[end])) {
        ++end;
    }
    const std::string_view field = line.substr(start, end - start);
    line.remove_prefix(end);
    return field;
}

inline void skipField(std::string_view& line) noexcept {
    static_cast<void>(nextField(line));
}

namespace detail {
template <typename Number, int base = 10>
[[nodiscard]] inline std::optional<Number> whole(std::string_view token) noexcept {
    Number value{};
    const char* const end = token.data() + token.size();
    const auto [stop, error] = std::from_chars(token.data(), end, value, base);
    if (token.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}
} // namespace detail

// from_chars takes no blanks, no '+' and, for unsigned numbers, no '-'.
[[nodiscard]] inline std::optional<std::uint64_t> parseU64(std::string_view token) noexcept {
    return detail::whole<std::uint64_t>(token);
}

[[nodiscard]] inline std::optional<std::uint64_t> parseHexU64(std::string_view token) noexcept {
    return detail::whole<std::uint64_t, 16>(token);
}

// Absent on "inf", "nan", signs and exponents too.
[[nodiscard]] inline std::optional<double> parseDecimal(std::string_view token) noexcept {
    for (const char c : token) {
        if ((c < '0' || c > '9') && c != '.') {
            return std::nullopt;
        }
    }
    if (token.empty() || token.front() == '.') {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(token.data(), token.data() + token.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != token.data() + token.size()) {
        return std::nullopt;
    }
    return value;
}

// The next field as a number, with the field taken off the line; absent (the line left as it
// was) when there is no field left or it is anything but decimal digits. One pass: the digits
// are read where the field is found.
[[nodiscard]] inline std::optional<std::uint64_t> nextU64(std::string_view& line) noexcept {
    std::uint64_t value = 0;
    const char* const first = line.data() + detail::afterBlanks(line);
    const char* const last = line.data() + line.size();
    const auto [stop, error] = std::from_chars(first, last, value);
    if (error != std::errc() || stop == first || (stop != last && !isBlank(*stop))) {
        return std::nullopt;
    }
    line.remove_prefix(static_cast<std::size_t>(stop - line.data()));
    return value;
}

// As nextU64 for a column that is checked but not needed: the digits are not converted.
[[nodiscard]] inline bool skipU64(std::string_view& line) noexcept {
    const std::size_t first = detail::afterBlanks(line);
    std::size_t end = first;
    while (end < line.size() && line[end] >= '0' && line[end] <= '9') {
        ++end;
    }
    if (end == first || (end < line.size() && !isBlank(line[end]))) {
        return false;
    }
    line.remove_prefix(end);
    return true;
}

// Blanks and line ends around the value are allowed; nothing else may follow it.
[[nodiscard]] inline std::optional<std::int64_t> parseSysfsInteger(std::string_view text) noexcept {
    return detail::whole<std::int64_t>(trimmed(text));
}

[[nodiscard]] inline std::optional<std::uint64_t>
parseSysfsUnsigned(std::string_view text) noexcept {
    text = trimmed(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return parseHexU64(text.substr(2));
    }
    return parseU64(text);
}

[[nodiscard]] inline std::optional<std::uint64_t>
numberAfterPrefix(std::string_view name, std::string_view prefix) noexcept {
    if (!name.starts_with(prefix)) {
        return std::nullopt;
    }
    return parseU64(name.substr(prefix.size()));
}

// The "Key:   value" lines of /proc/meminfo and /proc/<pid>/status. False without a colon.
inline bool splitAtColon(std::string_view line, std::string_view& key,
                         std::string_view& rest) noexcept {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    key = std::string_view(line.data(), colon);
    rest = std::string_view(line.data() + colon + 1, line.size() - colon - 1);
    return true;
}

// A figure in kibibytes as /proc prints it, "  16 kB", in bytes; absent on anything else and
// when the bytes do not fit 64 bits. Always inline: out of line, the status parser that calls
// it on every sample ran 4 % more instructions than when each reader had its own copy.
[[nodiscard, gnu::always_inline]] inline std::optional<std::uint64_t>
parseKibFigure(std::string_view rest) noexcept {
    const auto kib = nextU64(rest);
    if (!kib || nextField(rest) != "kB" || *kib > (UINT64_MAX >> 10)) {
        return std::nullopt;
    }
    return *kib << 10;
}

} // namespace trovimo::kerneltext
