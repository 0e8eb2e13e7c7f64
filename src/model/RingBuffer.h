#pragma once

#include <cstddef>
#include <vector>

namespace trovimo {

// A bounded history, oldest first. Room for `capacity` elements is reserved up front, so
// appending never allocates; once full, each append drops the oldest element.
template <typename T> class RingBuffer {
public:
    explicit RingBuffer(std::ptrdiff_t capacity) : capacity_(capacity > 0 ? capacity : 0) {
        storage_.reserve(static_cast<std::size_t>(capacity_));
    }

    void append(const T& element) {
        if (capacity_ == 0) {
            return;
        }
        if (static_cast<std::ptrdiff_t>(storage_.size()) >= capacity_) {
            storage_.erase(storage_.begin());
        }
        storage_.push_back(element);
    }

    // Keeps the room reserved.
    void clear() noexcept { storage_.clear(); }

    [[nodiscard]] const std::vector<T>& storage() const noexcept { return storage_; }
    [[nodiscard]] std::ptrdiff_t capacity() const noexcept { return capacity_; }

    friend bool operator==(const RingBuffer&, const RingBuffer&) = default;

private:
    std::ptrdiff_t capacity_;
    std::vector<T> storage_;
};

} // namespace trovimo
