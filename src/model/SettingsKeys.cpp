#include "model/SettingsKeys.h"

#include "model/DisplaySettings.h"

namespace trovimo {

const QVariantMap& defaultSettings() {
    static const QVariantMap table = [] {
        const DisplaySettings shown;
        QVariantMap defaults{
            {keys::diskAlertThreshold, shown.diskAlertThresholdAsSet},
            {keys::snapToEdges, shown.snapToEdges},
            {keys::animateValues, shown.animateValues},
            {keys::updateInterval, shown.updateIntervalAsSet},
        };
        for (const BlockRow& row : blockTable) {
            defaults.insert(QLatin1String(row.shown.key), shown.shows(row.block));
            if (row.detail) {
                defaults.insert(QLatin1String(row.detail->key), shown.detailed.contains(row.block));
            }
        }
        return defaults;
    }();
    return table;
}

} // namespace trovimo
