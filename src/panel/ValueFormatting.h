#pragma once

#include <cstdint>
#include <string>

namespace trovimo {

// Decimal units (powers of 1000), a full stop as decimal mark in every locale.
// "12.3 MB": one decimal below 100 of a unit, none for bytes or from 100 up.
[[nodiscard]] std::string formatBytes(std::int64_t bytes);
// "12M": legends and the swap text; one decimal below 10 of a unit.
[[nodiscard]] std::string formatBytesCompact(std::int64_t bytes);
// "12.3 MB/s": rounded to whole bytes (halves away from zero) first.
[[nodiscard]] std::string formatRate(double bytesPerSecond);

} // namespace trovimo
