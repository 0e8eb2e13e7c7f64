#pragma once

// The Prometheus text exposition format (version 0.0.4), as node exporters serve it on
// /metrics: one sample per line,
//
//   metric_name{label="value",other="v\"x"} 1.5e+09 [timestamp in ms]
//
// with "# HELP" / "# TYPE" comment lines between the families. Everything here reads the body
// in place: names and label values are views into it, and nothing is allocated.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace trovimo {

// One label as written: `value` keeps its escapes (\\, \" and \n), which only a few values
// ever carry (a mount point with a quote in it).
struct ExpositionLabel {
    std::string_view name;
    std::string_view value;

    // Whether the value, escapes undone, is `plain`; no copy is made.
    [[nodiscard]] bool valueIs(std::string_view plain) const noexcept;
    // The value with its escapes undone.
    [[nodiscard]] std::string valueText() const;
};

struct ExpositionSample {
    std::string_view name;
    std::span<const ExpositionLabel> labels;
    double value = 0.0; // may be NaN or ±infinity: the format allows them
    std::optional<std::int64_t> timestampMs;

    // The label named `name`; null when the sample has none.
    [[nodiscard]] const ExpositionLabel* label(std::string_view name) const noexcept;
};

// Walks the samples of a body in order. Comment lines and blank lines are passed over; a line
// that is not a well-formed sample is skipped and counted. The work is linear in the body's
// size whatever it holds (a megabyte-long line, ten thousand labels): each byte is looked at a
// bounded number of times, and a sample with more than `maximumLabels` labels is skipped
// without its labels being read further.
class ExpositionReader {
public:
    // No node exporter metric has more than a dozen.
    static constexpr std::size_t maximumLabels = 32;

    explicit ExpositionReader(std::string_view body) noexcept : rest_(body) {}
    ExpositionReader(const ExpositionReader&) = delete;
    ExpositionReader& operator=(const ExpositionReader&) = delete;

    // The next sample, valid until the following call; null at the end of the body.
    [[nodiscard]] const ExpositionSample* next() noexcept;

    [[nodiscard]] std::size_t skippedLines() const noexcept { return skipped_; }

private:
    [[nodiscard]] bool parseLine(std::string_view line) noexcept;

    std::string_view rest_;
    std::array<ExpositionLabel, maximumLabels> labels_{};
    ExpositionSample sample_;
    std::size_t skipped_ = 0;
};

// A sample value in the format's number syntax: a decimal or exponent float, "NaN", "+Inf",
// "-Inf" (and the spellings Go's ParseFloat takes: "inf", "Infinity", upper or lower case).
[[nodiscard]] std::optional<double> parseExpositionNumber(std::string_view text) noexcept;

} // namespace trovimo
