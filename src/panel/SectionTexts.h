#pragma once

#include "model/BatteryStatus.h"
#include "model/DiskUsage.h"
#include "model/MemoryPressure.h"
#include "model/MemoryStats.h"
#include "model/SelfStats.h"
#include "model/SensorReadings.h"
#include "panel/CapacityLevel.h"

#include <unicode/locid.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The words and value texts of the measurement sections. Plain functions of the sample, so
// the layout and the accessibility names share one source.
namespace trovimo::texts {

inline constexpr std::string_view cpuLabel = "CPU";
inline constexpr std::string_view gpuLabel = "GPU";
inline constexpr std::string_view memoryLabel = "メモリ";
inline constexpr std::string_view networkLabel = "ネットワーク";
inline constexpr std::string_view diskLabel = "ディスク";
inline constexpr std::string_view sensorsLabel = "温度";
inline constexpr std::string_view batteryLabel = "バッテリー";
inline constexpr std::string_view diskActivityLabel = "ディスクの読み書き";
inline constexpr std::string_view selfLabel = "Trovimo";
inline constexpr std::string_view fanLabel = "ファン";
inline constexpr std::string_view noSensorsText = "センサーが見つかりません";
// One character each: they lead the disk's rate rows in the width of the network's arrows.
inline constexpr std::string_view readLabel = "読";
inline constexpr std::string_view writeLabel = "書";
// Shown where a value is missing.
inline constexpr std::string_view placeholder = "—";

inline constexpr std::string_view appLegend = "App";
inline constexpr std::string_view wiredLegend = "固定";
inline constexpr std::string_view compressedLegend = "圧縮";
inline constexpr std::string_view systemLegend = "OS";
inline constexpr std::string_view dataLegend = "データ";
inline constexpr std::string_view purgeableLegend = "解放可";

// Byte counts of the records are unsigned where the formatters take signed; a count beyond
// the signed range is corrupt and shows as the largest one.
[[nodiscard]] std::int64_t toSignedBytes(std::uint64_t bytes) noexcept;

// "App 1.2G"
[[nodiscard]] std::string legendText(std::string_view label, std::int64_t bytes);
// "12.3 GB / 17.2 GB"
[[nodiscard]] std::string memoryUsageText(const MemoryStats& memory);
// "スワップ 1.2G/2.1G"; none without swap.
[[nodiscard]] std::optional<std::string> swapText(const MemoryStats& memory);
// "圧力 正常" and its siblings.
[[nodiscard]] std::string_view pressureText(MemoryPressure pressure) noexcept;

// "残り 50.0 GB"
[[nodiscard]] std::string diskRemainingText(const DiskUsage& disk);
// "使用率がしきい値（90%）を超えています": the threshold as whole percent, halves away from zero.
[[nodiscard]] std::string diskAlertText(double alertThreshold);
// "412 GB / 994 GB 使用中"
[[nodiscard]] std::string diskUsageText(const DiskUsage& disk);

// "52°C", rounded to the degree.
[[nodiscard]] std::string temperatureText(double celsius);
// Orange from the sensor's high limit on, red from its critical one.
[[nodiscard]] CapacityLevel temperatureLevel(const Temperature& temperature) noexcept;
// The hottest of the CPU, GPU and SSD readings; none without any.
[[nodiscard]] std::optional<Temperature> hottest(const SensorReadings& sensors) noexcept;
// "1,200 rpm"
[[nodiscard]] std::string fanText(std::uint32_t rpm);

// "充電中", "放電中", "満充電", "電源接続"; empty when the kernel does not say.
[[nodiscard]] std::string_view batteryStateText(BatteryState state) noexcept;
// "放電中・残り 3:25・8.4 W": the state, the time left and the draw, each where known.
[[nodiscard]] std::string batteryDetailText(const BatteryStatus& battery);
// Red at 10 % or less, orange at 20 % or less while discharging.
[[nodiscard]] CapacityLevel batteryLevel(const BatteryStatus& battery) noexcept;

// "CPU 0.8%・41.2 MB": CPU time per elapsed time as percent with one decimal.
[[nodiscard]] std::string selfLoadText(const SelfStats& self, const icu::Locale& locale);
[[nodiscard]] std::string selfLoadText(const SelfStats& self);

// The top of a throughput sparkline: its largest rate, but never below 10 KiB/s, so an idle
// link does not magnify noise into full-height spikes.
inline constexpr double minimumRateScale = 10240.0;
[[nodiscard]] double rateScale(std::span<const double> history) noexcept;
// The top of a graph: its largest finite value, never below `floor`.
[[nodiscard]] double graphTop(std::span<const double> history, double floor) noexcept;

} // namespace trovimo::texts
