#pragma once

#include "window/FrameAutosave.h"
#include "window/SnapController.h"
#include "window/WindowDragger.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

namespace trovimo {

class SettingsStore;

// Makes the panel's top-level window a desktop widget: no frame, transparent, the size its
// content asks for and not resizable, dragged by its surface, on every workspace, out of
// the taskbar and the window switchers, floating above other windows or pinned below them,
// its position kept under the autosave name. Everything is applied again on every call;
// values that already hold are left alone, so calling it again costs little and never
// re-creates the native window.
class WindowConfigurator : public QObject {
    Q_OBJECT
public:
    // Names the main window's saved frame.
    static constexpr const char* frameAutosaveName = "TrovimoMain";

    // `snapTimer` defaults to a boot-time timer (tests pass a manual one), `autosaveName` (the
    // name the frame is saved under) to frameAutosaveName.
    explicit WindowConfigurator(SettingsStore& settings,
                                std::unique_ptr<WakeTimer> snapTimer = nullptr,
                                QObject* parent = nullptr, const QString& autosaveName = {});
    ~WindowConfigurator() override;

    // Configures the top-level window of `panel` (the panel itself when it is one). Call it
    // once before the window is first shown and again whenever `alwaysOnTop` or
    // `snapToEdges` may have changed. Not from inside a paint event.
    void apply(QWidget& panel, bool alwaysOnTop, bool snapToEdges);
    // Applies the two settings from the settings store now, and again whenever either of
    // them or the panel's size changes.
    void follow(QWidget& panel);

    // Points where the panel paints its own controls; presses there do not drag.
    void setControlHitTest(WindowDragger::ControlHitTest hitTest);

    [[nodiscard]] SnapController& snapController() noexcept { return snap_; }
    [[nodiscard]] FrameAutosave& frameAutosave() noexcept { return autosave_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFollowed();
    void configure(QWidget& window, bool alwaysOnTop);
    void applyWindowManagerHints(QWidget& window, bool alwaysOnTop);
    void writeHintsBeforeMapping(QWidget& window);
    // A move the program did not make itself (the window manager's, for the user) is kept
    // like a drag.
    void onWindowMoved(QWidget& window);
    // True, and said once in the log, where the compositor places the window: the panel
    // then neither snaps nor saves where the compositor put it.
    bool compositorPlaces();

    SettingsStore& settings_;
    SnapController snap_;
    FrameAutosave autosave_;
    WindowDragger dragger_;
    QPointer<QWidget> window_;
    bool alwaysOnTop_ = true;
    bool compositorPlaces_ = false;
    bool userMoved_ = false;
    // Where the program put the window when it was last shown; unset while it is hidden.
    std::optional<QPoint> placedAt_;
    // The panel follow() watches, and what it was last configured with: configuring costs
    // round trips to the X server, so it is redone only when one of these changed.
    struct Followed {
        bool alwaysOnTop = false;
        bool snapToEdges = false;
        QSize size;
        friend bool operator==(const Followed&, const Followed&) = default;
    };
    QPointer<QWidget> followed_;
    std::optional<Followed> applied_;
};

} // namespace trovimo
