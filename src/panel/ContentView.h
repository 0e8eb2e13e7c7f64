#pragma once

#include "panel/ContextMenuModel.h"
#include "panel/FramePlan.h"
#include "panel/NumberRoller.h"
#include "panel/PaintCache.h"
#include "panel/PanelCommands.h"
#include "panel/PanelFocus.h"
#include "panel/PanelLayout.h"
#include "panel/SecondsBarSweep.h"
#include "panel/Theme.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include <QMenu>

namespace trovimo {

class SettingsStore;
class StatsStore;
class UpdateStore;

// The panel's view, the main window's content. Every change of the store, the update status,
// a setting or the hover state plans a new frame (planFrame: the layout and what of the shown
// one changed) and applies it, repainting only what changed; the clock's seconds bar repaints
// only its own rectangle once a second. Drawing is PanelPainter's. With keyboard focus the
// arrow keys move through its blocks and controls (nothing is drawn for that: a screen reader
// follows, see PanelAccessibility).
class ContentView : public QWidget {
    Q_OBJECT
public:
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    // `updates` may be null (update checking built out).
    ContentView(StatsStore& stats, UpdateStore* updates, SettingsStore& settings,
                QWidget* parent = nullptr);
    ~ContentView() override;

    // The other-apps launcher: its entries for the menu and how to open one of them.
    void setLauncher(std::function<std::vector<LauncherMenuEntry>()> entries,
                     std::function<void(int index)> open);
    // Tests and snapshots: a fixed clock and theme.
    void setWallClock(WallClock clock);
    void setTheme(const Theme& theme);
    // Without a compositing manager: an opaque background, the window shaped to the rounded
    // outline so the desktop shows in the corners. Switchable while shown.
    void setOpaqueBackground(bool opaque);

    [[nodiscard]] const PanelLayoutResult& currentLayout() const noexcept { return layout_; }
    // What the current layout was computed from.
    [[nodiscard]] const PanelInputs& currentInputs() const noexcept { return inputs_; }
    [[nodiscard]] const PanelFocus& keyboardFocus() const noexcept { return focus_; }
    // The context menu while it is open.
    [[nodiscard]] QMenu* openMenu() const noexcept { return menu_; }
    [[nodiscard]] bool isHovering() const noexcept { return hovering_; }
    // Builds the context menu as it would open now; the caller owns it.
    [[nodiscard]] QMenu* buildContextMenu(QWidget* parent);
    // The hit region under `point`, if any.
    [[nodiscard]] const HitRegion* hitRegionAt(QPointF point) const;

    // Plans the frame for the current inputs and applies it (normally driven by the signals it
    // watches).
    void relayout();
    void setHovering(bool hovering);
    // What a click on the item does (nothing for a block that only shows).
    void pressItem(const PanelItem& item);
    // Moves the keyboard to the item and the keyboard focus to the panel.
    void focusItem(const PanelItem& item);
    // Opens the context menu at `globalPosition`.
    void openContextMenu(QPoint globalPosition);

    [[nodiscard]] QSize sizeHint() const override;

signals:
    void openSettingsRequested();
    void openAboutRequested();
    void quitRequested();
    // Chosen in the menu: the machine to show (empty: this machine).
    void showMachineRequested(const QString& machine);
    // After a layout pass that changed what is drawn.
    void layoutChanged();
    // The keyboard moved to another item, or the panel took or lost the keyboard focus.
    void keyboardFocusChanged();
    // Escape: the keyboard focus is to go back to the window that had it.
    void focusReturnRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    [[nodiscard]] PanelInputs gatherInputs() const;
    // Shows the planned frame: the rolling digits, the size, the seconds bar, the repaint.
    void apply(FramePlan plan, bool animate);
    void scheduleMinute();
    void onSecond();
    void repaintRolling();
    // Starts the seconds bar's sweep from `before` to the bar's value for second `second` of
    // the minute.
    void sweepSecondsBar(double before, int second);
    [[nodiscard]] double secondsBarFraction() const;
    // A new look: everything painted for the old one is dropped and the panel laid out and
    // painted again.
    void restyle();

    StatsStore& stats_;
    UpdateStore* updates_;
    SettingsStore& settings_;
    WallClock wallClock_;
    Theme theme_;
    bool customTheme_ = false;
    bool opaqueBackground_ = false;
    bool hovering_ = false;
    PanelLayoutResult layout_;
    PanelInputs inputs_;         // what `layout_` was computed from
    bool animateValues_ = false; // as the last layout pass read it
    PanelFocus focus_;
    QPointer<QMenu> menu_;
    NumberRoller roller_;
    QTimer minuteTimer_;
    QTimer secondTimer_;
    QTimer rollTimer_;
    SecondsBarSweep secondsBarSweep_;
    PaintCache paintCache_;
    // The device pixel ratio `paintCache_` was filled at.
    double paintedRatio_ = 0.0;
    PanelCommands commands_;
    std::vector<QMetaObject::Connection> storeConnections_;
};

} // namespace trovimo
