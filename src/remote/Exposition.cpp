#include "remote/Exposition.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace trovimo {
namespace {

constexpr bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t';
}

constexpr bool isLetter(char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

constexpr bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

// Cuts the longest prefix of `text` whose characters pass `inner` (the first one `first`).
template <typename First, typename Inner>
std::string_view takeName(std::string_view& text, First first, Inner inner) noexcept {
    if (text.empty() || !first(text.front())) {
        return {};
    }
    std::size_t length = 1;
    while (length < text.size() && inner(text[length])) {
        ++length;
    }
    const std::string_view name = text.substr(0, length);
    text.remove_prefix(length);
    return name;
}

void skipBlanks(std::string_view& text) noexcept {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
}

std::string_view takeToken(std::string_view& text) noexcept {
    std::size_t length = 0;
    while (length < text.size() && !isBlank(text[length])) {
        ++length;
    }
    const std::string_view token = text.substr(0, length);
    text.remove_prefix(length);
    return token;
}

// A quoted label value from its opening quote on; the view between the quotes, escapes kept.
std::optional<std::string_view> takeQuoted(std::string_view& text) noexcept {
    if (text.empty() || text.front() != '"') {
        return std::nullopt;
    }
    for (std::size_t at = 1; at < text.size(); ++at) {
        if (text[at] == '"') {
            const std::string_view value = text.substr(1, at - 1);
            text.remove_prefix(at + 1);
            return value;
        }
        if (text[at] == '\\') {
            ++at;
            if (at == text.size() || (text[at] != '\\' && text[at] != '"' && text[at] != 'n')) {
                return std::nullopt;
            }
        }
    }
    return std::nullopt; // the line ended inside the quotes
}

bool equalsIgnoringCase(std::string_view text, std::string_view lower) noexcept {
    if (text.size() != lower.size()) {
        return false;
    }
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c =
            text[at] >= 'A' && text[at] <= 'Z' ? static_cast<char>(text[at] + 32) : text[at];
        if (c != lower[at]) {
            return false;
        }
    }
    return true;
}

// Calls `emit` with each character of an escaped value, escapes undone; stops when it
// returns false.
template <typename Emit> bool forEachUnescaped(std::string_view raw, Emit emit) {
    for (std::size_t at = 0; at < raw.size(); ++at) {
        char c = raw[at];
        if (c == '\\' && at + 1 < raw.size()) {
            ++at;
            c = raw[at] == 'n' ? '\n' : raw[at];
        }
        if (!emit(c)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool ExpositionLabel::valueIs(std::string_view plain) const noexcept {
    if (value.find('\\') == std::string_view::npos) {
        return value == plain;
    }
    std::size_t at = 0;
    const bool same = forEachUnescaped(value, [&](char c) {
        if (at == plain.size() || plain[at] != c) {
            return false;
        }
        ++at;
        return true;
    });
    return same && at == plain.size();
}

std::string ExpositionLabel::valueText() const {
    std::string text;
    text.reserve(value.size());
    forEachUnescaped(value, [&](char c) {
        text.push_back(c);
        return true;
    });
    return text;
}

const ExpositionLabel* ExpositionSample::label(std::string_view wanted) const noexcept {
    for (const ExpositionLabel& each : labels) {
        if (each.name == wanted) {
            return &each;
        }
    }
    return nullptr;
}

std::optional<double> parseExpositionNumber(std::string_view text) noexcept {
    bool negative = false;
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (equalsIgnoringCase(digits, "inf") || equalsIgnoringCase(digits, "infinity")) {
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    if (equalsIgnoringCase(digits, "nan")) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    // from_chars takes no sign of its own beyond the minus we already cut; nor "+-1".
    if (digits.empty() || !(isDigit(digits.front()) || digits.front() == '.')) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                              std::chars_format::general);
    // A value beyond a double's range comes back as out of range: it is no figure of ours.
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

const ExpositionSample* ExpositionReader::next() noexcept {
    while (!rest_.empty()) {
        const std::size_t end = rest_.find('\n');
        std::string_view line = rest_.substr(0, end);
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        while (!line.empty() && (isBlank(line.back()) || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        skipBlanks(line);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (parseLine(line)) {
            return &sample_;
        }
        ++skipped_;
    }
    return nullptr;
}

bool ExpositionReader::parseLine(std::string_view line) noexcept {
    const auto nameInner = [](char c) { return isLetter(c) || isDigit(c) || c == ':'; };
    const auto nameFirst = [](char c) { return isLetter(c) || c == ':'; };
    const auto labelInner = [](char c) { return isLetter(c) || isDigit(c); };
    sample_.name = takeName(line, nameFirst, nameInner);
    if (sample_.name.empty()) {
        return false;
    }
    std::size_t labelCount = 0;
    skipBlanks(line);
    if (!line.empty() && line.front() == '{') {
        line.remove_prefix(1);
        for (;;) {
            skipBlanks(line);
            if (!line.empty() && line.front() == '}') {
                line.remove_prefix(1);
                break;
            }
            if (labelCount == maximumLabels) {
                return false;
            }
            ExpositionLabel& label = labels_[labelCount];
            label.name = takeName(line, isLetter, labelInner);
            skipBlanks(line);
            if (label.name.empty() || line.empty() || line.front() != '=') {
                return false;
            }
            line.remove_prefix(1);
            skipBlanks(line);
            const auto value = takeQuoted(line);
            if (!value) {
                return false;
            }
            label.value = *value;
            ++labelCount;
            skipBlanks(line);
            if (!line.empty() && line.front() == ',') {
                line.remove_prefix(1);
            } else if (line.empty() || line.front() != '}') {
                return false;
            }
        }
    }
    sample_.labels = std::span<const ExpositionLabel>(labels_.data(), labelCount);
    skipBlanks(line);
    const auto value = parseExpositionNumber(takeToken(line));
    if (!value) {
        return false;
    }
    sample_.value = *value;
    sample_.timestampMs.reset();
    skipBlanks(line);
    if (!line.empty()) {
        const std::string_view token = takeToken(line);
        std::int64_t timestamp = 0;
        const auto [end, error] =
            std::from_chars(token.data(), token.data() + token.size(), timestamp);
        if (error != std::errc() || end != token.data() + token.size()) {
            return false;
        }
        sample_.timestampMs = timestamp;
        skipBlanks(line);
        if (!line.empty()) {
            return false;
        }
    }
    return true;
}

} // namespace trovimo
