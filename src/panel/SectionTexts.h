#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The words and value texts the measurement sections share; each section's own are in its
// header. Plain functions of the sample, so tests call them without a display.
namespace trovimo::texts {

// Shown where a value is missing.
inline constexpr std::string_view placeholder = "—";

// Byte counts of the records are unsigned where the formatters take signed; a count beyond
// the signed range is corrupt and shows as the largest one.
[[nodiscard]] std::int64_t toSignedBytes(std::uint64_t bytes) noexcept;

// "App 1.2G"
[[nodiscard]] std::string legendText(std::string_view label, std::int64_t bytes);

// The top of a throughput sparkline: its largest rate, but never below 10 KiB/s, so an idle
// link does not magnify noise into full-height spikes.
inline constexpr double minimumRateScale = 10240.0;
[[nodiscard]] double rateScale(std::span<const double> history) noexcept;
// The top of a graph: its largest finite value, never below `floor`.
[[nodiscard]] double graphTop(std::span<const double> history, double floor) noexcept;

} // namespace trovimo::texts
