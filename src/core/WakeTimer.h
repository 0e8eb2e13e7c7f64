#pragma once

#include <QObject>

#include <chrono>

namespace trovimo {

// A single-shot wake-up after a delay. The sampling loop re-arms it after every tick.
class WakeTimer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void arm(std::chrono::nanoseconds delay) = 0;

signals:
    void fired();
};

} // namespace trovimo
