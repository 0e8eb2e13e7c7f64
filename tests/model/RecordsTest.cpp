#include "model/History.h"
#include "model/MemoryPressure.h"
#include "model/NetworkInfo.h"

#include <gtest/gtest.h>

using namespace trovimo;

TEST(History, KeepsTheNewestCapacityValuesOldestFirst) {
    std::vector<double> history;
    for (int value = 1; value <= 61; ++value) {
        appendToHistory(history, double(value));
    }
    ASSERT_EQ(history.size(), 60u);
    EXPECT_EQ(history.front(), 2.0);
    EXPECT_EQ(history.back(), 61.0);
    const double* before = history.data();
    appendToHistory(history, 62.0);
    EXPECT_EQ(history.data(), before) << "appending to a full history must not reallocate";
    appendToHistory(history, 63.0, 2);
    EXPECT_EQ(history, (std::vector<double>{62.0, 63.0})) << "a shorter capacity drops the surplus";
}

TEST(History, ZeroCapacityStaysEmpty) {
    std::vector<int> history;
    appendToHistory(history, 1, 0);
    EXPECT_TRUE(history.empty());
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
