#include "panel/NumberRoller.h"

#include <QSet>

namespace trovimo {

void NumberRoller::observe(const std::vector<PanelElement>& elements, bool animate,
                           Clock::time_point now) {
    QSet<QString> seen;
    for (const PanelElement& element : elements) {
        const auto* text = std::get_if<TextElement>(&element);
        if (text == nullptr || !text->animation) {
            continue;
        }
        const AnimatedNumber& number = *text->animation;
        seen.insert(number.id);
        auto found = entries_.find(number.id);
        if (found == entries_.end()) {
            entries_.insert(number.id, Entry{number.key, text->text, {}, {}, false});
            continue;
        }
        Entry& entry = *found;
        if (entry.key != number.key) {
            if (animate && entry.text != text->text) {
                entry.from = entry.text;
                entry.started = now;
                entry.rolling = true;
            } else {
                entry.rolling = false;
            }
            entry.key = number.key;
        } else if (!animate) {
            entry.rolling = false;
        }
        entry.text = text->text;
    }
    // A text that left the panel starts afresh when it comes back.
    for (auto it = entries_.begin(); it != entries_.end();) {
        it = seen.contains(it.key()) ? std::next(it) : entries_.erase(it);
    }
}

std::optional<NumberRoller::Roll> NumberRoller::roll(const QString& id,
                                                     Clock::time_point now) const {
    const auto found = entries_.constFind(id);
    if (found == entries_.constEnd() || !found->rolling) {
        return std::nullopt;
    }
    const auto elapsed = now - found->started;
    if (elapsed >= duration || elapsed < Clock::duration::zero()) {
        return std::nullopt;
    }
    const double t = std::chrono::duration<double>(elapsed) / duration;
    return Roll{found->from, easing_.valueForProgress(t)};
}

bool NumberRoller::isRecent(const QString& id, Clock::time_point now,
                            Clock::duration settle) const {
    const auto found = entries_.constFind(id);
    return found != entries_.constEnd() && found->rolling && now >= found->started &&
           now - found->started < duration + settle;
}

bool NumberRoller::isRolling(Clock::time_point now) const {
    for (const Entry& entry : entries_) {
        if (entry.rolling && now - entry.started < duration) {
            return true;
        }
    }
    return false;
}

} // namespace trovimo
