#include "model/SettingsKeys.h"

#include "model/DisplaySettings.h"

namespace trovimo {

const QVariantMap& defaultSettings() {
    static const QVariantMap table = [] {
        const DisplaySettings shown;
        return QVariantMap{
            {keys::diskAlertThreshold, shown.diskAlertThresholdAsSet},
            {keys::snapToEdges, shown.snapToEdges},
            {keys::showClock, shown.showClock},
            {keys::showClockYear, shown.showClockYear},
            {keys::animateValues, shown.animateValues},
            {keys::showCPU, shown.showCPU},
            {keys::showCoreBars, shown.showCoreBars},
            {keys::showGPU, shown.showGPU},
            {keys::showMemory, shown.showMemory},
            {keys::showNetwork, shown.showNetwork},
            {keys::showDisk, shown.showDisk},
            {keys::showSensors, shown.showSensors},
            {keys::showBattery, shown.showBattery},
            {keys::showDiskActivity, shown.showDiskActivity},
            {keys::showSelf, shown.showSelf},
            {keys::updateInterval, shown.updateIntervalAsSet},
        };
    }();
    return table;
}

} // namespace trovimo
