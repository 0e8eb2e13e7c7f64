#pragma once

#include <QHash>

#include <utility>

namespace trovimo {

// Keeps what was asked for lately. An entry lives while it keeps being asked for; the rest
// is dropped one generation after its last use. A generation ends when that many entries
// were used since the last one ended, so the cache never holds more than twice as many.
// Labels that are drawn every refresh stay; the values that change every refresh come and
// go without piling up.
template <typename Key, typename Value> class RecentCache {
public:
    explicit RecentCache(qsizetype generationSize) : generationSize_(generationSize) {}

    // The entry, or null. Valid until the next call that changes the cache.
    const Value* find(const Key& key) {
        if (const auto found = current_.constFind(key); found != current_.constEnd()) {
            return &*found;
        }
        if (const auto found = previous_.find(key); found != previous_.end()) {
            Value value = std::move(*found);
            previous_.erase(found);
            return &insert(key, std::move(value));
        }
        return nullptr;
    }

    const Value& insert(const Key& key, Value value) {
        if (current_.size() >= generationSize_) {
            previous_ = std::exchange(current_, {});
        }
        return *current_.insert(key, std::move(value));
    }

    [[nodiscard]] qsizetype size() const noexcept { return current_.size() + previous_.size(); }

private:
    qsizetype generationSize_;
    QHash<Key, Value> current_;
    QHash<Key, Value> previous_;
};

} // namespace trovimo
