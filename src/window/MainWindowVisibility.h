#pragma once

#include "window/X11VisibilityFacts.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace trovimo {

class XcbWindowSystem;

// Answers the sampling loop's question: can the main window be seen? Without one (none
// set, or gone), the answer is yes. Hidden, minimised, on another workspace or fully
// covered means no.
class MainWindowVisibility : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    using OcclusionSource = trovimo::OcclusionSource;

    explicit MainWindowVisibility(QObject* parent = nullptr);
    ~MainWindowVisibility() override;

    // The window asked about: `window`'s top-level window.
    void setWindow(QWidget* window);

    [[nodiscard]] bool isMainWindowVisible();
    // For StatsStore::setVisibilityQuery; answers true once this object is gone.
    [[nodiscard]] std::function<bool()> query();

    void setOcclusionSource(OcclusionSource source) noexcept { source_ = source; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    bool isVisibleOnX11(QWidget& window, XcbWindowSystem& x);
    // What the server says now, in one round trip (two where the stacking order decides);
    // keeps the events that end a held answer selected.
    X11VisibilityFacts gatherFacts(std::uint32_t window, XcbWindowSystem& x);

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
