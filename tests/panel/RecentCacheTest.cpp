#include "panel/RecentCache.h"

#include <gtest/gtest.h>

#include <QString>

namespace trovimo {
namespace {

// What a panel does every refresh: the same labels, and values that never come back.
TEST(RecentCache, KeepsWhatIsAskedForAndDropsTheRest) {
    RecentCache<QString, int> cache(8);
    const QStringList labels{QStringLiteral("CPU"), QStringLiteral("メモリ"),
                             QStringLiteral("ディスク")};
    int misses = 0;
    for (int refresh = 0; refresh < 1000; ++refresh) {
        for (const QString& label : labels) {
            if (cache.find(label) == nullptr) {
                ++misses;
                cache.insert(label, static_cast<int>(label.size()));
            }
        }
        const QString value = QString::number(refresh) + QStringLiteral(" %");
        ASSERT_EQ(cache.find(value), nullptr);
        cache.insert(value, refresh);
        ASSERT_LE(cache.size(), 16);
    }
    EXPECT_EQ(misses, 3) << "labels in use every refresh are never dropped";
    ASSERT_NE(cache.find(QStringLiteral("999 %")), nullptr);
    EXPECT_EQ(*cache.find(QStringLiteral("999 %")), 999);
    EXPECT_EQ(cache.find(QStringLiteral("0 %")), nullptr) << "old values are gone";
}

} // namespace
} // namespace trovimo
