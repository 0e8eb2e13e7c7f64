#include "app/SettingsView.h"

#include "app/AutostartLoginItem.h"
#include "app/RemoteMachinesSection.h"
#include "app/TextStyles.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace trovimo {
namespace {

constexpr double thresholdLowest = 0.5;
constexpr int thresholdStepPercent = 5;

// Sets a control from the model without the change counting as the user's.
class RefreshGuard {
public:
    explicit RefreshGuard(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
    ~RefreshGuard() { flag_ = previous_; }
    RefreshGuard(const RefreshGuard&) = delete;
    RefreshGuard& operator=(const RefreshGuard&) = delete;

private:
    bool& flag_;
    bool previous_;
};

QLabel* captionLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(textstyle::caption());
    textstyle::makeSecondary(*label);
    return label;
}

} // namespace

SettingsView::SettingsView(SettingsStore& settings, AutostartLoginItem& autostart, QWidget* parent)
    : QWidget(parent), settings_(settings), autostart_(autostart) {
    build();
}

SettingsView::~SettingsView() = default;

QString SettingsView::thresholdText(double threshold) {
    if (!std::isfinite(threshold)) {
        return QStringLiteral("—");
    }
    // std::round takes halves away from zero; adding 0.0 turns -0 into 0.
    const double percent = std::round(threshold * 100.0) + 0.0;
    return QString::number(percent, 'f', 0) + QLatin1Char('%');
}

double SettingsView::thresholdAtPosition(int position) {
    position = std::clamp(position, 0, thresholdPositions - 1);
    // Whole percent divided once, so 0.55 is the same double as the literal 0.55.
    return (thresholdLowest * 100.0 + position * thresholdStepPercent) / 100.0;
}

int SettingsView::positionForThreshold(double threshold) {
    if (!std::isfinite(threshold)) {
        return 0;
    }
    const double steps = std::round((threshold * 100.0 - thresholdLowest * 100.0) /
                                    static_cast<double>(thresholdStepPercent));
    return static_cast<int>(std::clamp(steps, 0.0, double(thresholdPositions - 1)));
}

int SettingsView::intervalChoiceIndex(double seconds) {
    for (std::size_t i = 0; i < intervalChoices.size(); ++i) {
        if (std::abs(intervalChoices[i].seconds - seconds) < 1e-9) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QCheckBox* SettingsView::addSwitch(QBoxLayout& layout, const char* label, const char* key,
                                   SwitchState state, bool indented) {
    auto* box = new QCheckBox(QString::fromUtf8(label), this);
    box->setObjectName(QLatin1String(key));
    if (indented) {
        auto* row = new QHBoxLayout;
        row->addSpacing(indent);
        row->addWidget(box);
        layout.addLayout(row);
    } else {
        layout.addWidget(box);
    }
    switches_.emplace_back(box, std::move(state));
    connect(box, &QCheckBox::toggled, this, [this, key](bool checked) {
        if (!refreshing_) {
            settings_.setBool(QLatin1String(key), checked);
        }
    });
    return box;
}

void SettingsView::build() {
    auto* root = new QVBoxLayout(this);

    auto* shown = new QGroupBox(QStringLiteral("表示項目"), this);
    auto* shownLayout = new QVBoxLayout(shown);
    for (const BlockRow& row : blockTable) {
        QCheckBox* block = addSwitch(
            *shownLayout, row.shown.label, row.shown.key,
            [block = row.block](const DisplaySettings& settings) { return settings.shows(block); });
        if (row.detail) {
            QCheckBox* detail = addSwitch(
                *shownLayout, row.detail->label, row.detail->key,
                [block = row.block](const DisplaySettings& settings) {
                    return settings.detailed.contains(block);
                },
                true);
            details_.emplace_back(block, detail);
        }
    }
    root->addWidget(shown);

    auto* general = new QGroupBox(QStringLiteral("一般"), this);
    auto* generalLayout = new QVBoxLayout(general);
    launchAtLogin_ = new QCheckBox(QStringLiteral("OS 起動時に自動的に起動"), general);
    launchAtLogin_->setObjectName(QStringLiteral("launchAtLogin"));
    launchAtLogin_->setChecked(autostart_.isEnabled());
    connect(launchAtLogin_, &QCheckBox::toggled, this, [this](bool checked) {
        if (!refreshing_) {
            launchAtLoginToggled(checked);
        }
    });
    generalLayout->addWidget(launchAtLogin_);
    root->addWidget(general);

    auto* window = new QGroupBox(QStringLiteral("ウィンドウ"), this);
    auto* windowLayout = new QVBoxLayout(window);
    addSwitch(*windowLayout, "画面端に吸着", keys::snapToEdges,
              [](const DisplaySettings& settings) { return settings.snapToEdges; });
    root->addWidget(window);

    auto* alert = new QGroupBox(QStringLiteral("ディスクアラート"), this);
    auto* alertLayout = new QFormLayout(alert);
    threshold_ = new QSlider(Qt::Horizontal, alert);
    threshold_->setObjectName(QLatin1String(keys::diskAlertThreshold));
    threshold_->setRange(0, thresholdPositions - 1);
    threshold_->setSingleStep(1);
    threshold_->setPageStep(1);
    connect(threshold_, &QSlider::valueChanged, this, [this](int position) {
        if (!refreshing_) {
            settings_.setDouble(QLatin1String(keys::diskAlertThreshold),
                                thresholdAtPosition(position));
        }
    });
    alertLayout->addRow(QStringLiteral("しきい値"), threshold_);
    auto* valueRow = new QHBoxLayout;
    valueRow->addWidget(captionLabel(QStringLiteral("使用率がこの値を超えると警告表示"), alert));
    valueRow->addStretch();
    thresholdValue_ = captionLabel(QString(), alert);
    thresholdValue_->setObjectName(QStringLiteral("diskAlertThresholdText"));
    valueRow->addWidget(thresholdValue_);
    alertLayout->addRow(valueRow);
    root->addWidget(alert);

    auto* sampling = new QGroupBox(this);
    auto* samplingLayout = new QFormLayout(sampling);
    interval_ = new QComboBox(sampling);
    interval_->setObjectName(QLatin1String(keys::updateInterval));
    for (const auto& choice : intervalChoices) {
        interval_->addItem(QString::fromUtf8(choice.label), choice.seconds);
    }
    connect(interval_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!refreshing_ && index >= 0 && index < static_cast<int>(intervalChoices.size())) {
            settings_.setDouble(QLatin1String(keys::updateInterval),
                                intervalChoices.at(static_cast<std::size_t>(index)).seconds);
        }
    });
    samplingLayout->addRow(QStringLiteral("更新間隔"), interval_);
    auto* animateRow = new QVBoxLayout;
    addSwitch(*animateRow, "数値の変化をなめらかに補間", keys::animateValues,
              [](const DisplaySettings& settings) { return settings.animateValues; });
    samplingLayout->addRow(animateRow);
    root->addWidget(sampling);

    auto* footer = captionLabel(QString(), this);
    footer->setObjectName(QStringLiteral("footer"));
    footer->setWordWrap(true);
    root->addWidget(footer);

    auto* machines = new RemoteMachinesSection(settings_, this);
    root->addWidget(machines);

    refresh();
    connect(&settings_, &SettingsStore::changed, this, &SettingsView::refresh);

    setFixedWidth(formWidth);
    root->activate();
    textstyle::setEvenlyWrappedText(
        *footer, QStringLiteral("補間をオンにすると CPU 負荷が大きく上がります（約1% → "
                                "10%前後）。間隔を長くするほど消費電力は下がります。ウィンドウが"
                                "完全に隠れている間は自動的に計測を停止します。"));
    machines->wrapTexts();
    root->activate();
    setFixedHeight(root->hasHeightForWidth() ? root->totalHeightForWidth(formWidth)
                                             : root->totalSizeHint().height());
}

void SettingsView::refresh() {
    const RefreshGuard guard(refreshing_);
    // Shown before start-up registered the defaults too: DisplaySettings has its own.
    const DisplaySettings shown = settings_.display();
    for (const auto& [box, state] : switches_) {
        box->setChecked(state(shown));
    }
    // Greyed out, not cleared: the stored choice comes back with its parent.
    for (const auto& [block, detail] : details_) {
        detail->setEnabled(block->isChecked());
    }

    // As set, even where the panel uses a clamped value: this is where it gets mended.
    threshold_->setValue(positionForThreshold(shown.diskAlertThresholdAsSet));
    thresholdValue_->setText(thresholdText(shown.diskAlertThresholdAsSet));
    interval_->setCurrentIndex(intervalChoiceIndex(shown.updateIntervalAsSet));
}

void SettingsView::launchAtLoginToggled(bool wanted) {
    // Apply the user's choice; when the desktop refuses, show what is really set. Showing
    // the real state is itself a change and is applied once more; a second refusal ends it,
    // silently either way.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool applied = wanted ? autostart_.registerItem() : autostart_.unregisterItem();
        if (applied) {
            return;
        }
        const bool actual = autostart_.isEnabled();
        if (actual == wanted) {
            return;
        }
        {
            const RefreshGuard guard(refreshing_);
            launchAtLogin_->setChecked(actual);
        }
        wanted = actual;
    }
}

} // namespace trovimo
