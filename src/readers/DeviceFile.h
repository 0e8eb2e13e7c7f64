#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// Small helpers for the one-value files of sysfs and the tables of procfs.

// `path` (absolute, "/proc/...") below the root folder that stands for "/".
[[nodiscard]] std::string rootedPath(std::string_view root, std::string_view path);

// True when the path names something (a file, a folder or a link that resolves).
[[nodiscard]] bool deviceFileExists(const std::string& path);

// Entries of `folder` whose names start with `prefix`, sorted by name; empty when unreadable.
[[nodiscard]] std::vector<std::string> entriesStartingWith(const std::string& folder,
                                                           std::string_view prefix);

// The text without surrounding blanks and line ends.
[[nodiscard]] std::string_view trimmedText(std::string_view text) noexcept;

// A sysfs integer such as "37\n" or "-5". Nothing else may follow but blanks.
[[nodiscard]] std::optional<std::int64_t> parseSysfsInteger(std::string_view text) noexcept;

// A sysfs unsigned number in decimal or with a "0x" prefix in hex ("0x10de\n", "0x1003").
[[nodiscard]] std::optional<std::uint64_t> parseSysfsUnsigned(std::string_view text) noexcept;

// Qualcomm's kgsl busy figure, "37 %\n".
[[nodiscard]] std::optional<std::int64_t> parseKgslBusyPercent(std::string_view text) noexcept;

// A percentage as a fraction 0..1; values below 0 and above 100 are clamped.
[[nodiscard]] double percentToFraction(std::int64_t percent) noexcept;

} // namespace trovimo
