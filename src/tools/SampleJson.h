#pragma once

#include "model/StatsSnapshot.h"

#include <string>
#include <string_view>

namespace trovimo {

// One line of JSON with a tick's figures, one object per block in the panel's order under
// the records' field names, absent values as null and the histories left out. For scripts and
// bug reports; sampleFieldsHelp() describes every field.
[[nodiscard]] std::string sampleJson(const StatsSnapshot& stats);

// The fields' descriptions for --help, one or more lines per field.
[[nodiscard]] std::string sampleFieldsHelp();

// `text` as a JSON string literal, quotes included. Bytes that are not UTF-8 (a network
// name can be any 32 bytes) become U+FFFD, so the output is always valid JSON.
void appendJsonString(std::string& out, std::string_view text);

// A finite number in its shortest exact form; NaN and infinities become null.
void appendJsonNumber(std::string& out, double value);

} // namespace trovimo
