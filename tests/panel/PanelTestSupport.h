#pragma once

#include "panel/PanelLayout.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QRgb>
#include <QString>

#include <algorithm>
#include <cstdlib>

namespace trovimo::test {

// Runs each test with US English as the default locale: the expectations spell numbers and
// percent signs the way that locale writes them.
class EnglishLocaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

// The first text element of a laid-out panel or section that shows exactly `text`, or null.
template <typename Layout>
const TextElement* findText(const Layout& layout, const QString& text) {
    for (const PanelElement& element : layout.elements) {
        const auto* found = std::get_if<TextElement>(&element);
        if (found != nullptr && found->text == text) {
            return found;
        }
    }
    return nullptr;
}

// The largest difference between two pixels in any channel, alpha included.
[[nodiscard]] inline int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qAlpha(a) - qAlpha(b)), std::abs(qRed(a) - qRed(b)),
                     std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

} // namespace trovimo::test
