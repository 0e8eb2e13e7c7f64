#include "model/SettingsKeys.h"

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
    return stored > 0.0 ? stored : 1.0;
}

} // namespace trovimo
