#include "panel/SpokenTexts.h"

#include "panel/AnimationKey.h"
#include "panel/ClockFormatter.h"
#include "panel/SectionTexts.h"
#include "panel/Sections.h"
#include "panel/SourceLine.h"
#include "panel/ValueFormatting.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace trovimo::spoken {
namespace {

// What the orange and the red of a figure mean.
const QString caution = QStringLiteral("注意");
const QString warning = QStringLiteral("警告");

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
                return utf8(text.substr(0, space)) + utf8(word);
            }
        }
    }
    return utf8(text);
}

QString clockValue(const PanelInputs& inputs) {
    const ClockFormatter& clock = inputs.clock ? *inputs.clock : ClockFormatter::shared();
    return clock.dateText(inputs.now, inputs.settings.showClockYear()) + QLatin1Char(' ') +
           clock.timeText(inputs.now);
}

} // namespace

const QString& noData() {
    static const QString text = QStringLiteral("データなし");
    return text;
}

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString joined(const QStringList& parts) {
    return parts.join(QStringLiteral("、"));
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
    case PanelNotice::sourceLine:
        return QStringLiteral("表示中のマシン");
    }
    return {};
}

QString blockValue(const PanelBlock& block, const PanelInputs& inputs) {
    const auto* shown = std::get_if<Block>(&block);
    if (block == PanelBlock(PanelNotice::sourceLine)) {
        const SourceState state = inputs.stats->sourceState;
        const QString words =
            state == SourceState::connecting ? QStringLiteral("接続中") : sourceStateText(state);
        return words.isEmpty() ? inputs.stats->sourceName
                               : joined({inputs.stats->sourceName, words});
    }
    if (shown == nullptr) {
        return std::get<PanelNotice>(block) == PanelNotice::updateBadge
                   ? QStringLiteral("バージョン ") + inputs.update.latestVersion
                   : QStringLiteral("メニューを開いて 設定… を選んでください");
    }
    if (*shown == Block::clock) {
        return clockValue(inputs);
    }
    for (const SectionRow& row : sectionTable()) {
        if (row.block == *shown) {
            return row.spoken(inputs);
        }
    }
    return {};
}

} // namespace trovimo::spoken
