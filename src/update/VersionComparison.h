#pragma once

#include <QStringView>

#include <cstdint>
#include <vector>

namespace trovimo {

// The numbers of a dot-separated version string. Empty pieces are dropped ("1..2" is 1, 2;
// "" is nothing). A piece counts only when it is an optional sign followed by ASCII digits
// that fit a signed 64-bit integer; anything else ("b2", "0b2", "+", a 20-digit number)
// counts as 0, so "1.0b2" is 1, 0.
[[nodiscard]] std::vector<std::int64_t> versionComponents(QStringView version);

// True when `version` is strictly older than `other`. Missing trailing components count
// as 0, so "1.2" and "1.2.0" are the same version.
[[nodiscard]] bool isVersionOlderThan(QStringView version, QStringView other);

} // namespace trovimo
