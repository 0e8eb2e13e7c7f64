#pragma once

#include <string>
#include <string_view>

namespace trovimo {

class StatsStore;

// One line of JSON with every value the store publishes, under the records' field names,
// absent values as null and the histories left out. For scripts and bug reports. Beside the
// figures of the default panel:
//   sensors.cpu/gpu/ssd        {"celsius", "high", "critical"}: °C, the reading and the limits
//                              it turns orange and red at; null without such a sensor
//   sensors.fanRpm             the fastest fan, revolutions per minute
//   battery.percent            charge of all packs, 0-100; null when a pack's is unusable
//   battery.state              "charging", "discharging", "full", "pluggedIn" or "unknown"
//   battery.timeLeft           seconds until empty, only while discharging
//   battery.powerWatts         the packs' draw (or charging power), watts
//   diskActivity.readBytesPerSecond / writeBytesPerSecond   the home volume's disks, bytes/s
//   diskActivity.device        their kernel name ("nvme0n1"), or the volume's over several
[[nodiscard]] std::string sampleJson(const StatsStore& store);

// `text` as a JSON string literal, quotes included. Bytes that are not UTF-8 (a network
// name can be any 32 bytes) become U+FFFD, so the output is always valid JSON.
void appendJsonString(std::string& out, std::string_view text);

// A finite number in its shortest exact form; NaN and infinities become null.
void appendJsonNumber(std::string& out, double value);

} // namespace trovimo
