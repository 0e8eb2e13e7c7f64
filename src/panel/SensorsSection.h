#pragma once

#include "model/SensorReadings.h"
#include "panel/CapacityLevel.h"
#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

#include <cstdint>
#include <optional>
#include <string>

namespace trovimo {

// Temperatures and fans: the hottest sensor as a large figure, the CPU's history, a row per sensor
// and the fastest fan.
[[nodiscard]] SectionLayout layoutSensorsSection(const PanelInputs& inputs, const Theme& theme,
                                                 double width);
// What a screen reader hears of it (SpokenTexts.h).
[[nodiscard]] QString spokenSensorsSection(const PanelInputs& inputs);

} // namespace trovimo

namespace trovimo::texts {

// "52°C", rounded to the degree.
[[nodiscard]] std::string temperatureText(double celsius);
// Orange from the sensor's high limit on, red from its critical one.
[[nodiscard]] CapacityLevel temperatureLevel(const Temperature& temperature) noexcept;
// The hottest of the CPU, GPU and SSD readings; none without any.
[[nodiscard]] std::optional<Temperature> hottest(const SensorReadings& sensors) noexcept;
// "1,200 rpm"
[[nodiscard]] std::string fanText(std::uint32_t rpm);

} // namespace trovimo::texts
