#include "window/FrameAutosave.h"

#include "core/SystemLog.h"
#include "model/SettingsStore.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

#include <algorithm>

namespace trovimo {
namespace {

// A frame must show at least this much (or all of itself, when smaller) on one screen to
// be reachable with the mouse.
constexpr int minimumVisibleExtent = 32;
// Moves come in bursts while dragging; one write after the burst is enough.
constexpr int saveDelayMs = 500;

bool reachable(const QRect& frame, const QList<QRect>& screens) {
    const int wantedWidth = std::min(minimumVisibleExtent, frame.width());
    const int wantedHeight = std::min(minimumVisibleExtent, frame.height());
    return std::any_of(screens.begin(), screens.end(), [&](const QRect& screen) {
        const QRect overlap = screen.intersected(frame);
        return !overlap.isEmpty() && overlap.width() >= wantedWidth &&
               overlap.height() >= wantedHeight;
    });
}

int clampStart(int start, int length, int areaStart, int areaLength) {
    // A window larger than the area keeps its top-left corner inside.
    const int last = areaStart + std::max(0, areaLength - length);
    return std::clamp(start, areaStart, last);
}

} // namespace

FrameAutosave::FrameAutosave(SettingsStore& settings, QString name, QObject* parent)
    : QObject(parent), settings_(settings), name_(std::move(name)) {
    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(saveDelayMs);
    connect(&saveTimer_, &QTimer::timeout, this, &FrameAutosave::save);
    if (QCoreApplication::instance() != nullptr) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &FrameAutosave::save);
    }
}

FrameAutosave::~FrameAutosave() {
    if (saveTimer_.isActive()) {
        save();
    }
    if (window_) {
        window_->removeEventFilter(this);
    }
}

QString FrameAutosave::settingsKey(const QString& name) {
    return QStringLiteral("windowFrames/") + name;
}

void FrameAutosave::attach(QWidget& window) {
    if (window_ == &window) {
        return;
    }
    if (window_) {
        window_->removeEventFilter(this);
    }
    window_ = &window;
    restore(window);
    window.installEventFilter(this);
}

void FrameAutosave::restore(QWidget& window) {
    const std::optional<QString> text = settings_.stringValue(settingsKey(name_));
    if (!text || text->isEmpty()) {
        return;
    }
    const std::optional<QRect> saved = parseFrame(*text);
    if (!saved) {
        systemLog(
            logWindow(),
            QStringLiteral("FrameAutosave: %1 の保存された位置を読めません: %2").arg(name_, *text));
        return;
    }
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->geometry());
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) {
        return;
    }
    // The size follows the content; only the origin is restored.
    const QRect frame(saved->topLeft(), window.size());
    window.move(placeOnScreens(frame, screens, primary->availableGeometry()));
}

void FrameAutosave::noteUserMove() {
    userMoved_ = true;
}

void FrameAutosave::save() {
    saveTimer_.stop();
    if (!window_ || !userMoved_) {
        return;
    }
    const QString text = formatFrame(window_->frameGeometry());
    if (settings_.stringValue(settingsKey(name_)) != text) {
        settings_.setString(settingsKey(name_), text);
    }
}

bool FrameAutosave::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        if (event->type() == QEvent::Move) {
            saveTimer_.start();
        } else if (event->type() == QEvent::Hide && saveTimer_.isActive()) {
            save();
        }
    }
    return QObject::eventFilter(watched, event);
}

std::optional<QRect> FrameAutosave::parseFrame(const QString& text) {
    const QStringList parts = text.simplified().split(QLatin1Char(' '));
    if (parts.size() != 4) {
        return std::nullopt;
    }
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toInt(&ok);
        if (!ok) {
            return std::nullopt;
        }
    }
    // Positions beyond any real desktop are junk; the bound also keeps the sums below
    // far from overflowing. No std::abs: it has no answer for INT_MIN.
    constexpr int limit = 1 << 20;
    const auto outside = [](int value) { return value < -limit || value > limit; };
    if (values[2] <= 0 || values[3] <= 0 || values[2] > limit || values[3] > limit ||
        outside(values[0]) || outside(values[1])) {
        return std::nullopt;
    }
    return QRect(values[0], values[1], values[2], values[3]);
}

QString FrameAutosave::formatFrame(const QRect& frame) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height());
}

QPoint FrameAutosave::placeOnScreens(const QRect& saved, const QList<QRect>& screens,
                                     const QRect& primaryWorkArea) {
    if (reachable(saved, screens)) {
        return saved.topLeft();
    }
    return {clampStart(saved.x(), saved.width(), primaryWorkArea.x(), primaryWorkArea.width()),
            clampStart(saved.y(), saved.height(), primaryWorkArea.y(), primaryWorkArea.height())};
}

} // namespace trovimo
