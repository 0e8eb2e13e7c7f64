#pragma once

#include "window/FrameAutosave.h"
#include "window/SnapController.h"
#include "window/WindowDragger.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace trovimo {

class SettingsStore;

// Makes the panel's top-level window a desktop widget: no frame, transparent, fixed
// width, dragged by its surface, on every workspace, out of the taskbar and the window
// switchers, floating above other windows or pinned below them, its position kept under
// the autosave name. Everything is applied
// again on every call; values that already hold are left alone, so calling it on every
// panel update costs little and never re-creates the native window.
class WindowConfigurator : public QObject {
    Q_OBJECT
public:
    static constexpr int panelWidth = 190;
    // Names the main window: its saved frame and the window the sampling loop watches.
    static constexpr const char* frameAutosaveName = "TrovimoMain";
    // Dynamic property carrying the autosave name on the configured top-level widget.
    static constexpr const char* autosaveNameProperty = "trovimoFrameAutosaveName";

    // `snapTimer` defaults to a boot-time timer (tests pass a manual one).
    explicit WindowConfigurator(SettingsStore& settings,
                                std::unique_ptr<WakeTimer> snapTimer = nullptr,
                                QObject* parent = nullptr);
    ~WindowConfigurator() override;

    // Configures the top-level window of `panel` (the panel itself when it is one). Call it
    // once before the window is first shown and again whenever `alwaysOnTop` or
    // `snapToEdges` may have changed. Not from inside a paint event.
    void apply(QWidget& panel, bool alwaysOnTop, bool snapToEdges);

    // Points where the panel paints its own controls; presses there do not drag.
    void setControlHitTest(WindowDragger::ControlHitTest hitTest);

    [[nodiscard]] SnapController& snapController() noexcept { return snap_; }
    [[nodiscard]] FrameAutosave& frameAutosave() noexcept { return autosave_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void configure(QWidget& window, bool alwaysOnTop);
    void applyWindowManagerHints(QWidget& window, bool alwaysOnTop);
    void writeHintsBeforeMapping(QWidget& window);

    SnapController snap_;
    FrameAutosave autosave_;
    WindowDragger dragger_;
    QPointer<QWidget> window_;
    bool alwaysOnTop_ = true;
};

} // namespace trovimo
