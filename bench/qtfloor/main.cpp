// A frameless, translucent window the size of Trovimo's panel that repaints two short lines
// of Japanese text, with the same face, FRAMES times a second (default 1):
//
//   qtfloor [FRAMES]
//
// No readers, no layout, no graphs, no ICU: what any Qt Widgets program of this shape costs
// on the machine at hand, as a reference for bench/footprint's figures.
#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QTime>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

class FloorPanel final : public QWidget {
public:
    FloorPanel() {
        setAttribute(Qt::WA_TranslucentBackground);
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        resize(190, 600);
        font_.setFamilies({QStringLiteral("IPAexGothic"), QStringLiteral("IPAPGothic"),
                           QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic"),
                           QStringLiteral("Noto Sans CJK JP")});
        font_.setPixelSize(12);
    }

    void step() {
        ++frame_;
        update(0, 0, width(), 48);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(event->rect(), QColor(36, 36, 38, 204));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setPen(Qt::white);
        painter.setFont(font_);
        painter.drawText(10, 20, QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
        painter.drawText(10, 40, QStringLiteral("メモリ %1 GB").arg(3.0 + (frame_ % 7) / 10.0));
    }

private:
    QFont font_;
    int frame_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int frames = argc > 1 ? std::clamp(QString::fromLocal8Bit(argv[1]).toInt(), 1, 120) : 1;
    FloorPanel panel;
    panel.show();
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &panel, &FloorPanel::step);
    timer.start(1000 / frames);
    return QApplication::exec();
}
