#pragma once

#include "model/DisplaySettings.h"
#include "model/StatsSnapshot.h"

#include <QString>
#include <QUrl>

#include <chrono>
#include <cstdint>
#include <memory>

namespace trovimo {

class ClockFormatter;

// What the panel needs of the update status.
struct PanelUpdateStatus {
    enum class Kind : std::uint8_t { upToDate, optional, required };
    Kind kind = Kind::upToDate;
    QString latestVersion;
    QUrl url;
    friend bool operator==(const PanelUpdateStatus&, const PanelUpdateStatus&) = default;
};

struct PanelInputs {
    // The statistics store's last snapshot, shared with it; never null.
    std::shared_ptr<const StatsSnapshot> stats = std::make_shared<const StatsSnapshot>();
    DisplaySettings settings;
    PanelUpdateStatus update;
    bool hovering = false;
    std::chrono::system_clock::time_point now{};
    // Formats the clock's texts; null uses the process's formatter for the default locale.
    const ClockFormatter* clock = nullptr;
};

} // namespace trovimo
