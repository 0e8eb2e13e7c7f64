#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

// Small pieces for taking /proc and /sys text apart without copying it. Every function
// works on views into the caller's buffer and never reads past its end.
namespace trovimo::proctext {

// Takes the next line (without its newline) off the front of `text`. False when nothing is
// left. A last line without a newline still counts.
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

[[nodiscard]] inline bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Takes the next run of non-blank characters off the front of `line`; empty at the end.
[[nodiscard]] inline std::string_view nextField(std::string_view& line) noexcept {
    std::size_t start = 0;
    while (start < line.size() && isBlank(line[start])) {
        ++start;
    }
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

// A whole token of decimal digits; absent on anything else, on an empty token and on
// values beyond 64 bits.
[[nodiscard]] inline std::optional<std::uint64_t> parseU64(std::string_view token) noexcept {
    if (token.empty() || token.front() < '0' || token.front() > '9') {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size()) {
        return std::nullopt;
    }
    return value;
}

// A whole token of a plain decimal number such as "12.34"; absent on anything else,
// including "inf", "nan", signs and exponents.
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

// kibibytes (the "kB" of /proc) to bytes; absent when the product does not fit 64 bits.
[[nodiscard]] inline std::optional<std::uint64_t> kibToBytes(std::uint64_t kib) noexcept {
    if (kib > (UINT64_MAX >> 10)) {
        return std::nullopt;
    }
    return kib << 10;
}

} // namespace trovimo::proctext
