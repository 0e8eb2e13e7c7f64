#pragma once

#include "model/DisplaySettings.h"

#include <QString>
#include <QWidget>

#include <array>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

namespace trovimo {

class AutostartLoginItem;
class SettingsStore;

// The settings window's content. Every control writes its key the moment it changes; the
// panel and the statistics store read the same keys, so there is nothing to apply.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int formWidth = 340;
    static constexpr int indent = 16;
    // The threshold slider: 0.50 to 0.95 in steps of 0.05.
    static constexpr int thresholdPositions = 10;

    struct IntervalChoice {
        const char* label;
        double seconds;
    };
    static constexpr std::array<IntervalChoice, 4> intervalChoices{{
        {"0.5秒", 0.5},
        {"1秒", 1.0},
        {"2秒", 2.0},
        {"5秒", 5.0},
    }};

    SettingsView(SettingsStore& settings, AutostartLoginItem& autostart, QWidget* parent = nullptr);
    ~SettingsView() override;

    // "90%": the threshold as a whole percentage, halves away from zero.
    [[nodiscard]] static QString thresholdText(double threshold);
    [[nodiscard]] static double thresholdAtPosition(int position);
    // The nearest slider position; values outside the range sit at its ends.
    [[nodiscard]] static int positionForThreshold(double threshold);
    // Index into intervalChoices, or -1 when the stored interval is none of them.
    [[nodiscard]] static int intervalChoiceIndex(double seconds);

private:
    void build();
    void refresh();
    // A check box that writes `key` when clicked and shows `shown` of the display settings.
    QCheckBox* addSwitch(QBoxLayout& layout, const QString& label, const char* key,
                         bool DisplaySettings::*shown, bool indented = false);
    void launchAtLoginToggled(bool wanted);

    SettingsStore& settings_;
    AutostartLoginItem& autostart_;
    bool refreshing_ = false;

    QCheckBox* showClock_ = nullptr;
    QCheckBox* showClockYear_ = nullptr;
    QCheckBox* showCPU_ = nullptr;
    QCheckBox* showCoreBars_ = nullptr;
    QCheckBox* launchAtLogin_ = nullptr;
    QSlider* threshold_ = nullptr;
    QLabel* thresholdValue_ = nullptr;
    QComboBox* interval_ = nullptr;
    std::array<std::pair<QCheckBox*, bool DisplaySettings::*>, 14> switches_{};
    std::size_t switchCount_ = 0;
};

} // namespace trovimo
