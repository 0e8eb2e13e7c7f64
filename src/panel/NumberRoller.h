#pragma once

#include "panel/PanelLayout.h"

#include <QEasingCurve>
#include <QHash>
#include <QString>

#include <chrono>
#include <optional>

namespace trovimo {

// Remembers the animated number texts of the last evaluation and, when a key changes with
// value animation on, rolls the changed digits from the old text to the new one over a
// quarter second, easing out.
class NumberRoller {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds duration{250};

    struct Roll {
        QString from;
        double progress = 1.0; // 0 at the start, 1 when settled (eased)
    };

    // Records a new evaluation's texts; starts a roll for each animated text whose key
    // changed since the previous evaluation when `animate` is true.
    void observe(const std::vector<PanelElement>& elements, bool animate, Clock::time_point now);
    // The roll in progress for `id`, if any.
    [[nodiscard]] std::optional<Roll> roll(const QString& id, Clock::time_point now) const;
    [[nodiscard]] bool isRolling(Clock::time_point now) const;
    // Whether `id` is rolling at `now` or settled less than `settle` ago (its last frame may
    // still have to be drawn).
    [[nodiscard]] bool isRecent(const QString& id, Clock::time_point now,
                                Clock::duration settle) const;

private:
    struct Entry {
        QString key;
        QString text;
        QString from;
        Clock::time_point started{};
        bool rolling = false;
    };
    QHash<QString, Entry> entries_;
    QEasingCurve easing_{QEasingCurve::OutCubic};
};

} // namespace trovimo
