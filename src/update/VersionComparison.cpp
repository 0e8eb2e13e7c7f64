#include "update/VersionComparison.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace trovimo {
namespace {

// Optional '+' or '-', then one or more ASCII digits, nothing else; absent when the value
// does not fit 64 bits. Not QString::toLongLong: that also accepts surrounding spaces.
std::optional<std::int64_t> parseComponent(QStringView piece) {
    bool negative = false;
    if (!piece.isEmpty() && (piece.front() == u'+' || piece.front() == u'-')) {
        negative = piece.front() == u'-';
        piece = piece.mid(1);
    }
    if (piece.isEmpty()) {
        return std::nullopt;
    }
    // Accumulate towards the negative side: its range is one larger, so the lowest value
    // parses too.
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (const QChar character : piece) {
        const char16_t unit = character.unicode();
        if (unit < u'0' || unit > u'9') {
            return std::nullopt;
        }
        const int digit = unit - u'0';
        if (value < (lowest + digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 - digit;
    }
    if (negative) {
        return value;
    }
    if (value == lowest) {
        return std::nullopt;
    }
    return -value;
}

} // namespace

std::vector<std::int64_t> versionComponents(QStringView version) {
    std::vector<std::int64_t> components;
    qsizetype start = 0;
    while (start <= version.size()) {
        qsizetype end = version.indexOf(u'.', start);
        if (end < 0) {
            end = version.size();
        }
        const QStringView piece = version.mid(start, end - start);
        if (!piece.isEmpty()) {
            components.push_back(parseComponent(piece).value_or(0));
        }
        start = end + 1;
    }
    return components;
}

bool isVersionOlderThan(QStringView version, QStringView other) {
    const std::vector<std::int64_t> left = versionComponents(version);
    const std::vector<std::int64_t> right = versionComponents(other);
    const std::size_t length = std::max(left.size(), right.size());
    for (std::size_t index = 0; index < length; ++index) {
        const std::int64_t a = index < left.size() ? left[index] : 0;
        const std::int64_t b = index < right.size() ? right[index] : 0;
        if (a != b) {
            return a < b;
        }
    }
    return false;
}

} // namespace trovimo
