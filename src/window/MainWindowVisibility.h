#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace trovimo {

class XcbWindowSystem;

// Answers the sampling loop's question: can the main window be seen? Without one (none
// set, or gone), the answer is yes. Hidden, minimised, on another workspace or fully
// covered means no.
class MainWindowVisibility : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // How being covered is found out on X11. The X server reports it (VisibilityNotify)
    // only for windows drawn straight to the screen; a redirected window (every window
    // under a compositor, and a translucent window in any case) never gets the report,
    // so the frames of the windows stacked above are compared instead. `automatic`
    // picks by the window's depth and the compositor's presence.
    enum class OcclusionSource { automatic, visibilityEvents, stacking };

    explicit MainWindowVisibility(QObject* parent = nullptr);
    ~MainWindowVisibility() override;

    // The window asked about: `window`'s top-level window.
    void setWindow(QWidget* window);

    [[nodiscard]] bool isMainWindowVisible();
    // For StatsStore::setVisibilityQuery; answers true once this object is gone.
    [[nodiscard]] std::function<bool()> query();

    void setOcclusionSource(OcclusionSource source) noexcept { source_ = source; }

    // Whether the rectangles together cover `ours` completely.
    [[nodiscard]] static bool isFullyCovered(const QRect& ours, std::span<const QRect> above);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    bool isVisibleOnX11(QWidget& window, XcbWindowSystem& x);
    // `stacking`: the window manager's client list, bottom to top.
    bool isCoveredByStacking(std::uint32_t window, XcbWindowSystem& x, std::uint32_t currentDesktop,
                             const std::vector<std::uint32_t>& stacking);

    OcclusionSource source_ = OcclusionSource::automatic;
    QPointer<QWidget> mainWindow_;
    std::uint32_t trackedWindow_ = 0;
    bool fullyObscured_ = false;
    // A "visible" answer found while nothing was stacked above the window holds until an
    // event could change it (the window's own state, map, geometry or covering, or any root
    // property such as the stacking list or the workspace), and at most this many queries:
    // the X server is not asked every tick while the panel floats on top.
    static constexpr int maximumCachedAnswers = 10;
    bool answerHolds_ = false;
    int cachedAnswers_ = 0;
};

} // namespace trovimo
