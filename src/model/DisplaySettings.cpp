#include "model/DisplaySettings.h"

#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"

#include <algorithm>
#include <cmath>

namespace trovimo {

DisplaySettings DisplaySettings::read(const SettingsStore& settings) {
    DisplaySettings shown;
    const auto flag = [&settings](const char* key, bool& value) {
        value = settings.boolValue(QLatin1String(key), value);
    };
    flag(keys::alwaysOnTop, shown.alwaysOnTop);
    flag(keys::snapToEdges, shown.snapToEdges);
    for (const BlockRow& row : blockTable) {
        bool on = shown.shows(row.block);
        flag(row.shown.key, on);
        shown.shown.set(row.block, on);
        if (row.detail) {
            bool detail = shown.detailed.contains(row.block);
            flag(row.detail->key, detail);
            shown.detailed.set(row.block, detail);
        }
    }
    flag(keys::animateValues, shown.animateValues);
    shown.diskAlertThresholdAsSet = settings.doubleValue(QLatin1String(keys::diskAlertThreshold),
                                                         shown.diskAlertThresholdAsSet);
    shown.updateIntervalAsSet =
        settings.doubleValue(QLatin1String(keys::updateInterval), shown.updateIntervalAsSet);
    shown.diskAlertThreshold = effectiveDiskAlertThreshold(shown.diskAlertThresholdAsSet);
    shown.updateInterval = effectiveUpdateInterval(shown.updateIntervalAsSet);
    return shown;
}

double effectiveUpdateInterval(double stored) {
    // NaN compares false, so it falls back as well.
    if (!(stored > 0.0) || std::isinf(stored)) {
        return DisplaySettings{}.updateInterval;
    }
    return std::max(stored, minimumUpdateInterval);
}

double effectiveDiskAlertThreshold(double stored) {
    if (!std::isfinite(stored)) {
        return DisplaySettings{}.diskAlertThreshold;
    }
    return std::clamp(stored, 0.0, 1.0);
}

} // namespace trovimo
