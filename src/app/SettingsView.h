#pragma once

#include "model/DisplaySettings.h"

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <utility>
#include <vector>

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
    using SwitchState = std::function<bool(const DisplaySettings&)>;
    // A check box that writes `key` when clicked and shows `state` of the display settings.
    QCheckBox* addSwitch(QBoxLayout& layout, const char* label, const char* key, SwitchState state,
                         bool indented = false);
    void launchAtLoginToggled(bool wanted);

    SettingsStore& settings_;
    AutostartLoginItem& autostart_;
    bool refreshing_ = false;

    QCheckBox* launchAtLogin_ = nullptr;
    QSlider* threshold_ = nullptr;
    QLabel* thresholdValue_ = nullptr;
    QComboBox* interval_ = nullptr;
    std::vector<std::pair<QCheckBox*, SwitchState>> switches_;
    // A block's switch and its detail switch, greyed out while the block is off.
    std::vector<std::pair<QCheckBox*, QCheckBox*>> details_;
};

} // namespace trovimo
