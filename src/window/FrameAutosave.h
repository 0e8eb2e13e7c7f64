#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace trovimo {

class SettingsStore;

// Keeps a window's position in the settings under an autosave name: restored when the
// window is first attached, saved shortly after it moves and when it hides or the
// application quits. Only a position the user chose is written: the placement at start-up
// (the default corner, a restored frame brought back on screen, the snap that follows) is
// not, so starting and quitting leave the settings file as it was.
class FrameAutosave : public QObject {
    Q_OBJECT
public:
    FrameAutosave(SettingsStore& settings, QString name, QObject* parent = nullptr);
    ~FrameAutosave() override;

    // The settings key holding the frame saved under `name`.
    [[nodiscard]] static QString settingsKey(const QString& name);

    // Restores the saved position on the first attach of a window, then follows its moves.
    void attach(QWidget& window);
    // The user has started moving the window; from now on its moves are saved.
    void noteUserMove();
    void save();

    // "x y width height", the way it is stored; none for anything malformed.
    [[nodiscard]] static std::optional<QRect> parseFrame(const QString& text);
    [[nodiscard]] static QString formatFrame(const QRect& frame);

    // Where a saved frame goes now. A frame that no longer shows on any screen enough to be
    // grabbed (its monitor was unplugged, the layout changed) is put inside the primary
    // screen's work area instead of staying out of reach for good.
    [[nodiscard]] static QPoint placeOnScreens(const QRect& saved, const QList<QRect>& screens,
                                               const QRect& primaryWorkArea);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restore(QWidget& window);

    SettingsStore& settings_;
    QString name_;
    QPointer<QWidget> window_;
    QTimer saveTimer_;
    bool userMoved_ = false;
};

} // namespace trovimo
