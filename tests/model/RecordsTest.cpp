#include "model/MemoryPressure.h"
#include "model/NetworkInfo.h"
#include "model/RingBuffer.h"

#include <gtest/gtest.h>

using namespace trovimo;

TEST(RingBuffer, KeepsTheNewestCapacityElementsOldestFirst) {
    RingBuffer<double> buffer(60);
    for (int value = 1; value <= 61; ++value) {
        buffer.append(value);
    }
    ASSERT_EQ(buffer.storage().size(), 60u);
    EXPECT_EQ(buffer.storage().front(), 2.0);
    EXPECT_EQ(buffer.storage().back(), 61.0);
    const double* before = buffer.storage().data();
    buffer.append(62);
    EXPECT_EQ(buffer.storage().data(), before) << "appending to a full buffer must not reallocate";
}

TEST(RingBuffer, ZeroOrNegativeCapacityStaysEmpty) {
    RingBuffer<int> zero(0);
    zero.append(1);
    EXPECT_TRUE(zero.storage().empty());
    RingBuffer<int> negative(-3);
    negative.append(1);
    EXPECT_TRUE(negative.storage().empty());
}

TEST(MemoryPressure, OnlyTheThreeKnownLevelsMap) {
    EXPECT_EQ(memoryPressureFromLevel(1), MemoryPressure::normal);
    EXPECT_EQ(memoryPressureFromLevel(2), MemoryPressure::warning);
    EXPECT_EQ(memoryPressureFromLevel(4), MemoryPressure::critical);
    for (int level : {0, 3, 5, 8, -1, -4}) {
        EXPECT_FALSE(memoryPressureFromLevel(level).has_value()) << level;
    }
}

TEST(NetworkInfo, DetailTextPrefersGenerationAndAppendsNetworkName) {
    NetworkInfo wired{"enp3s0", "Ethernet", std::nullopt, std::nullopt};
    EXPECT_EQ(wired.detailText(), "Ethernet");
    NetworkInfo wifi6{"wlp2s0", "Wi-Fi", "Home", "Wi-Fi 6"};
    EXPECT_EQ(wifi6.detailText(), "Wi-Fi 6 \u00B7 Home");
    NetworkInfo unknownGeneration{"wlp2s0", "Wi-Fi", "Café", std::nullopt};
    EXPECT_EQ(unknownGeneration.detailText(), "Wi-Fi \u00B7 Café");
    NetworkInfo generationOnly{"wlp2s0", "Wi-Fi", std::nullopt, "Wi-Fi 5"};
    EXPECT_EQ(generationOnly.detailText(), "Wi-Fi 5");
}
