#pragma once

#include <cstddef>
#include <vector>

namespace trovimo {

// A history holds the last minute of a figure at one sample a second, oldest first.
inline constexpr std::size_t historyCapacity = 60;

// Appends `value` to `history`, dropping the oldest values beyond `capacity`.
template <typename T>
void appendToHistory(std::vector<T>& history, const T& value,
                     std::size_t capacity = historyCapacity) {
    if (capacity == 0) {
        return;
    }
    if (history.size() >= capacity) {
        history.erase(history.begin(), history.end() - static_cast<std::ptrdiff_t>(capacity - 1));
    } else if (history.capacity() < capacity) {
        history.reserve(capacity); // at most once: a full history never reallocates
    }
    history.push_back(value);
}

} // namespace trovimo
