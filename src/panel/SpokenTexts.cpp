#include "panel/SpokenTexts.h"

#include "panel/AnimationKey.h"
#include "panel/BatterySection.h"
#include "panel/ClockFormatter.h"
#include "panel/DiskLevel.h"
#include "panel/DiskSection.h"
#include "panel/MemorySection.h"
#include "panel/SectionTexts.h"
#include "panel/SensorsSection.h"
#include "panel/ValueFormatting.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace trovimo::spoken {
namespace {

// Where the panel shows a dash, or nothing yet.
const QString noData = QStringLiteral("データなし");
// What the orange and the red of a figure mean.
const QString caution = QStringLiteral("注意");
const QString warning = QStringLiteral("警告");

QString q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString joined(const QStringList& parts) {
    return parts.join(QStringLiteral("、"));
}

// The panel's own figure ("12.3 MB"), its unit symbol replaced by the word.
QString withUnitWord(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> units{{
        {"B", "バイト"},
        {"KB", "キロバイト"},
        {"MB", "メガバイト"},
        {"GB", "ギガバイト"},
        {"TB", "テラバイト"},
        {"PB", "ペタバイト"},
    }};
    const std::size_t space = text.rfind(' ');
    if (space != std::string_view::npos) {
        for (const auto& [symbol, word] : units) {
            if (text.substr(space + 1) == symbol) {
                return q(text.substr(0, space)) + q(word);
            }
        }
    }
    return q(text);
}

QString bytes(std::int64_t count) {
    return withUnitWord(formatBytes(count));
}

QString rate(double bytesPerSecond) {
    std::string text = formatRate(bytesPerSecond);
    if (text.ends_with("/s")) {
        text.resize(text.size() - 2);
    }
    return QStringLiteral("毎秒") + withUnitWord(text);
}

QString levelWord(CapacityLevel level) {
    switch (level) {
    case CapacityLevel::warning:
        return caution;
    case CapacityLevel::critical:
        return warning;
    case CapacityLevel::normal:
        break;
    }
    return {};
}

QString degrees(const Temperature& temperature) {
    QString text = QString::number(std::lround(temperature.celsius)) + QStringLiteral("度");
    if (const QString level = levelWord(texts::temperatureLevel(temperature)); !level.isEmpty()) {
        text += QLatin1Char(' ') + level;
    }
    return text;
}

QString cpuValue(const PanelInputs& inputs) {
    const std::optional<CPULoad>& cpu = inputs.stats->cpu;
    if (!cpu) {
        return noData;
    }
    QStringList parts{percent(cpu->total, 0)};
    // The bars show every core; in words the busiest one says what matters.
    if (inputs.settings.showCoreBars() && cpu->perCore.size() > 1) {
        const double busiest = *std::max_element(cpu->perCore.begin(), cpu->perCore.end());
        parts << QStringLiteral("最も高いコア ") + percent(busiest, 0);
    }
    return joined(parts);
}

QString memoryValue(const std::optional<MemoryStats>& memory) {
    if (!memory) {
        return noData;
    }
    const auto size = [](std::uint64_t count) { return bytes(texts::toSignedBytes(count)); };
    QStringList parts{size(memory->total) + QStringLiteral("中 ") + size(memory->used) +
                          QStringLiteral("使用"),
                      QStringLiteral("アプリ ") + size(memory->app),
                      q(texts::wiredLegend) + QLatin1Char(' ') + size(memory->wired),
                      q(texts::compressedLegend) + QLatin1Char(' ') + size(memory->compressed)};
    if (memory->swapTotal != 0) {
        parts << QStringLiteral("スワップ ") + size(memory->swapTotal) + QStringLiteral("中 ") +
                     size(memory->swapUsed) + QStringLiteral("使用");
    }
    if (memory->pressure) {
        parts << q(texts::pressureText(*memory->pressure));
    }
    return joined(parts);
}

QString networkValue(const StatsSnapshot& stats) {
    QStringList parts;
    if (stats.networkInfo) {
        parts << q(stats.networkInfo->detailText())
                     .replace(QStringLiteral(" \u00B7 "), QStringLiteral("、"));
    }
    const auto direction = [&stats](const QString& word, double NetworkSpeed::*rateOf) {
        return word + QLatin1Char(' ') + (stats.network ? rate((*stats.network).*rateOf) : noData);
    };
    parts << direction(QStringLiteral("ダウンロード"), &NetworkSpeed::download)
          << direction(QStringLiteral("アップロード"), &NetworkSpeed::upload);
    return joined(parts);
}

QString diskValue(const std::optional<DiskUsage>& disk, double threshold) {
    const CapacityLevel level = diskLevel(diskUsedFraction(disk), threshold);
    QStringList parts;
    if (const QString word = levelWord(level); !word.isEmpty()) {
        parts << word;
    }
    if (disk) {
        parts << QStringLiteral("残り ") + bytes(diskRemaining(*disk));
        if (disk->total >= 1) {
            parts << q(texts::systemLegend) + QLatin1Char(' ') + bytes(disk->system)
                  << q(texts::dataLegend) + QLatin1Char(' ') + bytes(diskData(*disk))
                  << q(texts::purgeableLegend) + QLatin1Char(' ') + bytes(disk->purgeable);
        }
    } else {
        parts << noData;
    }
    if (level == CapacityLevel::critical) {
        parts << QStringLiteral("使用率がしきい値 %1パーセントを超えています")
                     .arg(percentKey(threshold, 0));
    } else if (disk) {
        parts << bytes(disk->total) + QStringLiteral("中 ") + bytes(disk->used) +
                     QStringLiteral("使用");
    }
    return joined(parts);
}

QString sensorsValue(const std::optional<SensorReadings>& sensors) {
    const std::optional<Temperature> top = sensors ? texts::hottest(*sensors) : std::nullopt;
    if (!top && !(sensors && sensors->fanRpm)) {
        return noData;
    }
    QStringList parts;
    if (top) {
        parts << QStringLiteral("最高 ") + degrees(*top);
    }
    const std::pair<const char*, const std::optional<Temperature>&> rows[] = {
        {"CPU", sensors->cpu}, {"GPU", sensors->gpu}, {"SSD", sensors->ssd}};
    for (const auto& [label, reading] : rows) {
        if (reading) {
            parts << QLatin1String(label) + QLatin1Char(' ') + degrees(*reading);
        }
    }
    if (sensors->fanRpm) {
        parts << QStringLiteral("ファン 毎分%1回転").arg(*sensors->fanRpm);
    }
    return joined(parts);
}

QString batteryValue(const std::optional<BatteryStatus>& battery) {
    if (!battery) {
        return noData;
    }
    // A charge no battery reports is left out; the state and the rest are still said.
    QStringList parts;
    if (battery->percent && std::isfinite(*battery->percent)) {
        parts << percent(std::clamp(*battery->percent / 100.0, 0.0, 1.0), 0);
    }
    if (const QString level = levelWord(texts::batteryLevel(*battery)); !level.isEmpty()) {
        parts << level;
    }
    if (const std::string_view state = texts::batteryStateText(battery->state); !state.empty()) {
        parts << q(state);
    }
    if (battery->timeLeft && battery->timeLeft->count() >= 0) {
        const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(*battery->timeLeft);
        parts << QStringLiteral("残り %1時間%2分")
                     .arg(minutes.count() / 60)
                     .arg(minutes.count() % 60);
    }
    if (battery->powerWatts && std::isfinite(*battery->powerWatts)) {
        parts << QString::number(std::abs(*battery->powerWatts), 'f', 1) + QStringLiteral("ワット");
    }
    return parts.isEmpty() ? noData : joined(parts);
}

QString diskActivityValue(const std::optional<DiskActivity>& activity) {
    if (!activity) {
        return noData;
    }
    QStringList parts;
    if (!activity->device.empty()) {
        parts << q(activity->device);
    }
    parts << QStringLiteral("読み込み ") + rate(activity->readBytesPerSecond)
          << QStringLiteral("書き込み ") + rate(activity->writeBytesPerSecond);
    return joined(parts);
}

QString selfValue(const std::optional<SelfStats>& self) {
    if (!self) {
        return noData;
    }
    return QStringLiteral("CPU ") + percent(self->cpu, 1) + QStringLiteral("、メモリ ") +
           bytes(texts::toSignedBytes(self->memory));
}

QString clockValue(const PanelInputs& inputs) {
    const ClockFormatter& clock = inputs.clock ? *inputs.clock : ClockFormatter::shared();
    return clock.dateText(inputs.now, inputs.settings.showClockYear()) + QLatin1Char(' ') +
           clock.timeText(inputs.now);
}

} // namespace

QString percent(double fraction, int fractionDigits) {
    const std::int64_t key = percentKey(fraction, fractionDigits);
    const double scale = std::pow(10.0, fractionDigits);
    return QString::number(static_cast<double>(key) / scale, 'f', fractionDigits) +
           QStringLiteral("パーセント");
}

QString blockName(const PanelBlock& block) {
    if (const auto* shown = std::get_if<Block>(&block)) {
        return QString::fromUtf8(blockRow(*shown).shown.label);
    }
    switch (std::get<PanelNotice>(block)) {
    case PanelNotice::updateBadge:
        return QStringLiteral("要アップデート");
    case PanelNotice::emptyState:
        return QStringLiteral("表示項目がありません");
    }
    return {};
}

QString blockValue(const PanelBlock& block, const PanelInputs& inputs) {
    const auto* shown = std::get_if<Block>(&block);
    if (shown == nullptr) {
        return std::get<PanelNotice>(block) == PanelNotice::updateBadge
                   ? QStringLiteral("バージョン ") + inputs.update.latestVersion
                   : QStringLiteral("メニューを開いて 設定… を選んでください");
    }
    const StatsSnapshot& stats = *inputs.stats;
    switch (*shown) {
    case Block::clock:
        return clockValue(inputs);
    case Block::cpu:
        return cpuValue(inputs);
    case Block::gpu:
        return stats.gpu ? percent(*stats.gpu, 0) : noData;
    case Block::memory:
        return memoryValue(stats.memory);
    case Block::network:
        return networkValue(stats);
    case Block::disk:
        return diskValue(stats.disk, inputs.settings.diskAlertThreshold);
    case Block::sensors:
        return sensorsValue(stats.sensors);
    case Block::battery:
        return batteryValue(stats.battery);
    case Block::diskActivity:
        return diskActivityValue(stats.diskActivity);
    case Block::self:
        return selfValue(stats.selfStats);
    }
    return {};
}

} // namespace trovimo::spoken
