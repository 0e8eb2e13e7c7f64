#include "panel/ContentView.h"

#include "model/RemoteMachine.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "panel/ClockFormatter.h"
#include "panel/FramePlan.h"
#include "panel/PanelAccessibility.h"
#include "panel/PanelPainter.h"
#include "update/UpdateStore.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

// A roll lasts a quarter of a second and moves the digits about 7 points; 30 frames a
// second show that as smoothly as 60 at half the repaints and wake-ups.
constexpr auto rollFrame = std::chrono::milliseconds(33);
// The seconds bar is re-evaluated every second, counted from its last evaluation. Every
// refresh of the panel evaluates it too, so while refreshes come once a second the bar's
// own timer is pushed back each time and never fires: one wake-up a second instead of two
// at unrelated instants. The slack lets a refresh that is a little late still win.
constexpr auto secondsPeriod = std::chrono::milliseconds(1000);
constexpr auto secondsRefreshSlack = std::chrono::milliseconds(60);

// Milliseconds until the next multiple of `period` on the wall clock (at least 1).
int millisecondsToNext(std::chrono::system_clock::time_point now,
                       std::chrono::milliseconds period) {
    const auto since =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    const auto remainder = ((since % period) + period) % period;
    return static_cast<int>(std::max<std::int64_t>(1, (period - remainder).count()));
}

} // namespace

ContentView::ContentView(StatsStore& stats, UpdateStore* updates, SettingsStore& settings,
                         QWidget* parent)
    : QWidget(parent), stats_(stats), updates_(updates), settings_(settings),
      wallClock_([] { return std::chrono::system_clock::now(); }),
      theme_(Theme::fromPalette(palette())), commands_(settings, updates) {
    // Before anything asks for this widget's accessible interface.
    installPanelAccessibility();
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);
    // Reached from the keyboard too (a second start brings it forward with the focus).
    setFocusPolicy(Qt::StrongFocus);
    // A desktop panel is hardly ever the active window; its controls' tooltips show anyway.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    connect(&commands_, &PanelCommands::openSettingsRequested, this,
            &ContentView::openSettingsRequested);
    connect(&commands_, &PanelCommands::openAboutRequested, this, &ContentView::openAboutRequested);
    connect(&commands_, &PanelCommands::quitRequested, this, &ContentView::quitRequested);
    connect(&commands_, &PanelCommands::showMachineRequested, this,
            &ContentView::showMachineRequested);
    commands_.setMachines([this] {
        MachineMenu menu;
        for (const RemoteMachine& machine : readRemoteMachines(settings_)) {
            menu.names.append(machine.name);
        }
        const StatsSnapshot& shown = *stats_.snapshot();
        if (shown.sourceState != SourceState::local) {
            menu.current = shown.sourceName;
        }
        return menu;
    });

    storeConnections_ = {
        connect(&stats_, &StatsStore::published, this, &ContentView::relayout),
        connect(&settings_, &SettingsStore::changed, this, &ContentView::relayout),
    };
    if (updates_ != nullptr) {
        storeConnections_.push_back(
            connect(updates_, &UpdateStore::statusChanged, this, &ContentView::relayout));
    }

    minuteTimer_.setSingleShot(true);
    minuteTimer_.setTimerType(Qt::PreciseTimer);
    connect(&minuteTimer_, &QTimer::timeout, this, [this] {
        relayout();
        scheduleMinute();
    });
    secondTimer_.setSingleShot(true);
    secondTimer_.setTimerType(Qt::PreciseTimer);
    connect(&secondTimer_, &QTimer::timeout, this, &ContentView::onSecond);
    rollTimer_.setInterval(rollFrame);
    connect(&rollTimer_, &QTimer::timeout, this, &ContentView::repaintRolling);
    connect(&secondsBarSweep_, &SecondsBarSweep::frameDue, this, [this] {
        // While digits roll, their frames carry the sweep.
        if (layout_.secondsBar && !rollTimer_.isActive()) {
            update(elementRect(layout_.elements[*layout_.secondsBar]).toAlignedRect());
        }
    });

    relayout();
}

ContentView::~ContentView() {
    // QWidget's destructor hides the window, and what that sets off may change a setting or
    // tick the store: a half-destroyed view must not lay itself out again.
    for (const QMetaObject::Connection& connection : storeConnections_) {
        disconnect(connection);
    }
    minuteTimer_.stop();
    secondTimer_.stop();
    rollTimer_.stop();
    secondsBarSweep_.stop();
}

void ContentView::setLauncher(std::function<std::vector<LauncherMenuEntry>()> entries,
                              std::function<void(int)> open) {
    commands_.setLauncher(std::move(entries), std::move(open));
}

void ContentView::setWallClock(WallClock clock) {
    wallClock_ = std::move(clock);
    // The clock timers were aimed at the old clock's boundaries.
    secondTimer_.stop();
    minuteTimer_.stop();
    relayout();
}

void ContentView::setTheme(const Theme& theme) {
    theme_ = theme;
    theme_.setOpaqueBackground(opaqueBackground_);
    customTheme_ = true;
    restyle();
}

void ContentView::restyle() {
    paintCache_.clear();
    relayout();
    update();
}

void ContentView::setOpaqueBackground(bool opaque) {
    if (opaqueBackground_ == opaque) {
        return;
    }
    opaqueBackground_ = opaque;
    theme_.setOpaqueBackground(opaque);
    // The X Shape extension cuts the corners (an empty mask: none); the native window stays.
    setMask(opaque ? panelPainter::outline(layout_.size) : QRegion());
    update();
}

PanelInputs ContentView::gatherInputs() const {
    PanelInputs inputs;
    inputs.stats = stats_.snapshot();
    inputs.settings = settings_.display();
    inputs.update = commands_.updateStatus();
    inputs.hovering = hovering_;
    inputs.now = wallClock_();
    return inputs;
}

void ContentView::relayout() {
    PanelInputs inputs = gatherInputs();
    FramePlan plan = planFrame(layout_, inputs, theme_);
    // In place before the frame is applied: what it sets off reads them with the layout.
    inputs_ = std::move(inputs);
    apply(std::move(plan), inputs_.settings.animateValues);
}

void ContentView::apply(FramePlan plan, bool animate) {
    const auto now = NumberRoller::Clock::now();
    roller_.observe(plan.frame.elements, animate, now);
    if (roller_.isRolling(now) && !rollTimer_.isActive()) {
        rollTimer_.start();
    }
    animateValues_ = animate;
    const double barBefore = secondsBarFraction();
    const bool resized = plan.frame.size != layout_.size;
    const bool hadSecondsBar = layout_.secondsBar.has_value();
    layout_ = std::move(plan.frame);
    if (plan.rearranged && focus_.setItems(panelItems(layout_)) && hasFocus()) {
        emit keyboardFocusChanged();
    }
    if (resized) {
        // With the new layout in place: what a resize sets off may ask for the size hint.
        setFixedSize(layout_.size.toSize());
        if (opaqueBackground_) {
            setMask(panelPainter::outline(layout_.size));
        }
    }
    if (layout_.secondsBar) {
        // This refresh evaluated the seconds bar; the next evaluation of its own is due a
        // second from now.
        secondTimer_.start(secondsPeriod + secondsRefreshSlack);
        if (!minuteTimer_.isActive()) {
            scheduleMinute();
        }
        const auto& bar = std::get<CapacityBarElement>(layout_.elements[*layout_.secondsBar]);
        if (plan.rearranged || !hadSecondsBar) {
            sweepSecondsBar(bar.gauge.fraction, 0);
        } else if (bar.gauge.fraction != barBefore) {
            sweepSecondsBar(barBefore, static_cast<int>(std::lround(bar.gauge.fraction * 60.0)));
        }
    } else {
        secondTimer_.stop();
        minuteTimer_.stop();
        secondsBarSweep_.stop();
    }
    if (plan.rearranged) {
        update();
    } else if (plan.changed) {
        update(plan.damage);
    }
    if (plan.changed) {
        emit layoutChanged();
    }
}

void ContentView::setHovering(bool hovering) {
    if (hovering_ == hovering) {
        return;
    }
    hovering_ = hovering;
    relayout();
}

QSize ContentView::sizeHint() const {
    return layout_.size.toSize();
}

void ContentView::scheduleMinute() {
    minuteTimer_.start(millisecondsToNext(wallClock_(), std::chrono::minutes(1)));
}

void ContentView::onSecond() {
    secondTimer_.start(secondsPeriod);
    if (!layout_.secondsBar) {
        return;
    }
    auto& element = std::get<CapacityBarElement>(layout_.elements[*layout_.secondsBar]);
    const double before = secondsBarFraction();
    const ClockFormatter& clock = ClockFormatter::shared();
    const int second = clock.secondOfMinute(wallClock_());
    const double fraction = second / 60.0;
    if (fraction == element.gauge.fraction) {
        return;
    }
    element.gauge.fraction = fraction;
    sweepSecondsBar(before, second);
    update(element.rect.toAlignedRect());
}

void ContentView::sweepSecondsBar(double before, int second) {
    const auto& element = std::get<CapacityBarElement>(layout_.elements[*layout_.secondsBar]);
    secondsBarSweep_.start(before, element.gauge.fraction, second,
                           element.rect.width() * std::max(1.0, devicePixelRatioF()),
                           animateValues_);
}

double ContentView::secondsBarFraction() const {
    if (!layout_.secondsBar) {
        return 0.0;
    }
    const auto& element = std::get<CapacityBarElement>(layout_.elements[*layout_.secondsBar]);
    return secondsBarSweep_.fraction(element.gauge.fraction);
}

void ContentView::repaintRolling() {
    // Only the texts that roll (or settled since the last frame): the others would be drawn
    // again unchanged, the clock's among them, which reaches the frame's corner.
    const auto now = NumberRoller::Clock::now();
    QRegion rolling;
    for (const PanelElement& element : layout_.elements) {
        const auto* text = std::get_if<TextElement>(&element);
        if (text != nullptr && text->animation &&
            roller_.isRecent(text->animation->id, now, 2 * rollFrame)) {
            rolling += text->rect.adjusted(0, -2, 0, 2).toAlignedRect();
        }
    }
    // The seconds bar's sweep rides along: one wake-up draws both.
    if (secondsBarSweep_.isRunning() && layout_.secondsBar) {
        rolling += elementRect(layout_.elements[*layout_.secondsBar]).toAlignedRect();
    }
    update(rolling);
    if (!roller_.isRolling(now)) {
        rollTimer_.stop();
    }
}

void ContentView::paintEvent(QPaintEvent* event) {
    // A move to a screen of another scale: nothing painted for the old one is of use.
    if (const double ratio = devicePixelRatioF(); ratio != paintedRatio_) {
        paintCache_.clear();
        paintedRatio_ = ratio;
    }
    QPainter painter(this);
    const auto now = NumberRoller::Clock::now();
    const QRegion& dirty = event->region();
    panelPainter::paintFrame(painter, layout_.size, theme_, dirty);
    for (std::size_t index = 0; index < layout_.elements.size(); ++index) {
        // Refreshes, the seconds bar and rolling digits repaint small regions; skip the rest.
        if (!dirty.intersects(damageRect(layout_.elements[index]))) {
            continue;
        }
        if (layout_.secondsBar && index == *layout_.secondsBar && secondsBarSweep_.isRunning()) {
            auto bar = std::get<CapacityBarElement>(layout_.elements[index]);
            bar.gauge.fraction = secondsBarFraction();
            panelPainter::paintElement(painter, bar, theme_, paintCache_);
            continue;
        }
        panelPainter::paintElement(painter, layout_.elements[index], theme_, paintCache_, &roller_,
                                   now);
    }
}

void ContentView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setHovering(true);
}

void ContentView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setHovering(false);
}

const HitRegion* ContentView::hitRegionAt(QPointF point) const {
    // Later regions lie on top (the hover controls over the first block).
    for (auto it = layout_.hitRegions.rbegin(); it != layout_.hitRegions.rend(); ++it) {
        if (it->rect.contains(point)) {
            return &*it;
        }
    }
    return nullptr;
}

void ContentView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const HitRegion* hit = hitRegionAt(event->position())) {
            const PanelAction action = hit->action;
            event->accept();
            commands_.perform(action);
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

bool ContentView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const HitRegion* hit = hitRegionAt(help->pos());
        if (hit != nullptr && !hit->toolTip.isEmpty()) {
            QToolTip::showText(help->globalPos(), hit->toolTip, this, hit->rect.toAlignedRect());
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void ContentView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if ((event->type() == QEvent::PaletteChange ||
         event->type() == QEvent::ApplicationPaletteChange) &&
        !customTheme_) {
        theme_ = Theme::fromPalette(palette());
        theme_.setOpaqueBackground(opaqueBackground_);
        restyle();
    }
}

} // namespace trovimo
