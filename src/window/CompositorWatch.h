#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>

namespace trovimo {

// Whether a compositing manager draws the desktop, kept current while the program runs.
// On X11 that is whoever owns the _NET_WM_CM_S<screen> selection; elsewhere (Wayland)
// windows are always composited. Without a compositor a translucent window shows black
// where it is transparent, so the panel paints itself opaque and shapes its window.
class CompositorWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit CompositorWatch(QObject* parent = nullptr);
    ~CompositorWatch() override;

    [[nodiscard]] bool isCompositing() const noexcept { return compositing_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void compositingChanged(bool compositing);

private:
    [[nodiscard]] bool askOwner() const;

    bool compositing_ = true;
    // The XFixes extension's first event code; 0 when the server has no XFixes.
    std::uint8_t xfixesEvent_ = 0;
};

} // namespace trovimo
