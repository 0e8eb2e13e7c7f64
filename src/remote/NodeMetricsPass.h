#pragma once

// What the pass over one body shares between the files that read its families (readNodeMetrics'
// and the blocks' own, NodeBlockReader): the conversions of sample values, the lookup of an
// entry by name, and the pass's own state.

#include "remote/Exposition.h"
#include "remote/NodeMetrics.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace trovimo::nodemetrics {

// A non-negative whole count from a sample value (bytes, ticks); absent for NaN, infinities,
// negatives and what does not fit 64 bits.
inline std::optional<std::uint64_t> countOf(double value) noexcept {
    // 2^64 as a double; every double below it converts.
    constexpr double limit = 18446744073709551616.0;
    if (!(value >= 0.0 && value < limit)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(std::round(value));
}

// A value in the kernel's micro-units (µWh, µA...) from the exporter's base units, sign kept.
inline std::optional<std::int64_t> microUnitsOf(double value) noexcept {
    const double micro = std::round(value * 1e6);
    if (!(std::abs(micro) < 9.0e18)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(micro);
}

inline std::optional<double> finite(double value) noexcept {
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// A name as the kernel allows it and the panel can show: printable, no path or quote.
inline bool isPlausibleName(std::string_view name, std::size_t longest) noexcept {
    for (const char c : name) {
        if (c <= ' ' || c >= 0x7f || c == '/' || c == '\\' || c == '"') {
            return false;
        }
    }
    return !name.empty() && name.size() <= longest;
}

inline std::string_view labelOf(const ExpositionSample& sample, std::string_view name) noexcept {
    const ExpositionLabel* label = sample.label(name);
    return label != nullptr ? label->value : std::string_view();
}

template <typename T> void setOnce(std::optional<T>& target, std::optional<T> value) {
    if (!target) {
        target = value;
    }
}

// The entry named `name` in a list of records with a `name`; null when there is none.
template <typename Entries>
auto findNamed(Entries& entries, std::string_view name) -> decltype(&entries.front()) {
    for (auto& entry : entries) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

// The entry named `name`, made when there is room; the search starts after the last entry
// found, as the exporter lists the same names in the same order in every family.
template <typename Entry, typename Key>
Entry* entryFor(std::vector<Entry>& entries, std::size_t& cursor, Key key,
                bool (*matches)(const Entry&, const Key&)) {
    const std::size_t count = entries.size();
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t at = (cursor + step) % count;
        if (matches(entries[at], key)) {
            cursor = at + 1;
            return &entries[at];
        }
    }
    if (count >= maximumEntries) {
        return nullptr;
    }
    Entry& entry = entries.emplace_back();
    cursor = count + 1;
    return &entry;
}

// What one pass keeps besides the record itself.
struct Pass {
    NodeMetrics& metrics;
    MeminfoFigures memory;
    unsigned memorySeen = 0;
    std::size_t interfaceCursor = 0;
};

// The families of the network interfaces and the file systems ("what" is the metric's name
// after the family's prefix).
void readNetwork(Pass& pass, std::string_view what, const ExpositionSample& sample);
void readFilesystem(Pass& pass, std::string_view what, const ExpositionSample& sample);

} // namespace trovimo::nodemetrics
