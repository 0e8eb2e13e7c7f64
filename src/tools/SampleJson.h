#pragma once

#include <string>
#include <string_view>

namespace trovimo {

class StatsStore;

// One line of JSON with every value the store publishes, under the records' field names,
// absent values as null and the histories left out. For scripts and bug reports.
[[nodiscard]] std::string sampleJson(const StatsStore& store);

// `text` as a JSON string literal, quotes included. Bytes that are not UTF-8 (a network
// name can be any 32 bytes) become U+FFFD, so the output is always valid JSON.
void appendJsonString(std::string& out, std::string_view text);

// A finite number in its shortest exact form; NaN and infinities become null.
void appendJsonNumber(std::string& out, double value);

} // namespace trovimo
