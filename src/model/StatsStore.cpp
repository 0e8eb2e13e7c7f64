#include "model/StatsStore.h"

#include "core/BoottimeTimer.h"
#include "core/SystemLog.h"
#include "model/History.h"
#include "model/LocalSource.h"
#include "model/SettingsStore.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace trovimo {

StatsStore::StatsStore(SettingsStore& settings, std::unique_ptr<StatsSource> source,
                       std::unique_ptr<WakeTimer> timer, QObject* parent)
    : QObject(parent), settings_(settings),
      timer_(timer ? std::move(timer) : std::make_unique<BoottimeTimer>()) {
    connect(timer_.get(), &WakeTimer::fired, this, &StatsStore::onTimerFired);
    adopt(source ? std::move(source) : std::make_unique<LocalSource>());
}

void StatsStore::adopt(std::unique_ptr<StatsSource> source) {
    source_ = std::move(source);
    connect(source_.get(), &StatsSource::figuresReady, this, &StatsStore::publish);
    connect(source_.get(), &StatsSource::stateChanged, this,
            [this] { publish(*snapshot_, false); });
    auto first = std::make_shared<StatsSnapshot>();
    first->sourceName = source_->name();
    first->sourceState = source_->state();
    snapshot_ = std::move(first);
}

void StatsStore::setSource(std::unique_ptr<StatsSource> source) {
    if (!source) {
        return;
    }
    // The old source goes first: nothing it still sends reaches the new snapshot.
    source_.reset();
    adopt(std::move(source));
    emit published();
    if (started_ && isMainWindowVisible()) {
        tick();
    }
}

const DisplaySettings& StatsStore::shown() {
    const DisplaySettings& settings = settings_.display();
    // Zero, negative and unreadable values mean "the default" and go unmentioned; a value
    // someone wrote but that cannot be honoured is named once, whatever else changes.
    const double stored = settings.updateIntervalAsSet;
    if (stored > 0.0 && settings.updateInterval != stored && reportedInterval_ != stored) {
        reportedInterval_ = stored;
        systemLog(logApp(), QStringLiteral("StatsStore: 更新間隔 %1 秒の代わりに %2 秒で計測します")
                                .arg(stored)
                                .arg(settings.updateInterval));
    }
    return settings;
}

StatsStore::~StatsStore() = default;

bool StatsStore::isMainWindowVisible() const {
    return visibilityQuery_ ? visibilityQuery_() : true;
}

void StatsStore::start() {
    if (started_) {
        return;
    }
    started_ = true;
    if (isMainWindowVisible()) {
        tick();
    }
    armNextWake();
}

void StatsStore::armNextWake() {
    // Read before every sleep, so a new interval applies from the next sleep on. The deadline
    // is taken after the tick, so the real period is the interval plus the tick's own time.
    const double seconds = shown().updateInterval;
    const auto delay = std::chrono::duration<double>(std::min(seconds, 86400.0));
    timer_->arm(std::chrono::duration_cast<std::chrono::nanoseconds>(delay));
}

void StatsStore::onTimerFired() {
    if (isMainWindowVisible()) {
        tick();
    }
    armNextWake();
}

void StatsStore::tick() {
    const DisplaySettings& settings = shown();
    asked_ = settings.shown;
    source_->sample(asked_, StatsSource::Interval(settings.updateInterval));
}

void StatsStore::publish(const Figures& figures, bool sampled) {
    auto next = std::make_shared<StatsSnapshot>(*snapshot_);
    static_cast<Figures&>(*next) = figures;
    if (sampled) {
        appendHistories(*next);
    }
    next->sourceName = source_->name();
    next->sourceState = source_->state();
    snapshot_ = std::move(next);
    emit published();
}

void StatsStore::appendHistories(StatsSnapshot& next) const {
    for (const HistoryRow& row : historyTable) {
        std::vector<double>& values = next.*row.values;
        if (!asked_.contains(row.block)) {
            if (row.emptiedWhileHidden) {
                values.clear();
            }
        } else if (const std::optional<double> point = row.point(next)) {
            appendToHistory(values, *point);
        }
    }
}

void StatsStore::awaitFigures(std::chrono::milliseconds limit, bool complete) {
    if (!source_->isAwaiting(complete)) {
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    // Each read off the GUI thread says when it ended; the home's publishes nothing of its own.
    connect(source_.get(), &StatsSource::settled, &loop, [&] {
        if (!source_->isAwaiting(complete)) {
            loop.quit();
        }
    });
    loop.exec();
}

} // namespace trovimo
