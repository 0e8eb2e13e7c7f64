#include "model/SettingsKeys.h"

#include <algorithm>
#include <cmath>

namespace trovimo {

const QVariantMap& defaultSettings() {
    static const QVariantMap table{
        {keys::diskAlertThreshold, 0.9}, {keys::snapToEdges, true},    {keys::showClock, true},
        {keys::showClockYear, false},    {keys::animateValues, false}, {keys::showCPU, true},
        {keys::showCoreBars, true},      {keys::showGPU, true},        {keys::showMemory, true},
        {keys::showNetwork, true},       {keys::showDisk, true},       {keys::showSelf, false},
        {keys::updateInterval, 1.0},
    };
    return table;
}

double effectiveUpdateInterval(double stored) {
    // NaN compares false, so it falls back as well.
    if (!(stored > 0.0) || std::isinf(stored)) {
        return 1.0;
    }
    return std::max(stored, minimumUpdateInterval);
}

double effectiveDiskAlertThreshold(double stored) {
    if (!std::isfinite(stored)) {
        return defaultSettings().value(QLatin1String(keys::diskAlertThreshold)).toDouble();
    }
    return std::clamp(stored, 0.0, 1.0);
}

} // namespace trovimo
