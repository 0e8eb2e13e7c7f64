#include "app/WindowAccessibility.h"

#include "app/AboutView.h"
#include "app/SettingsView.h"
#include "model/SettingsKeys.h"
#include "panel/AnimationKey.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QSlider>

namespace trovimo {
namespace {

constexpr int percentStep = 5;

class AccessibleThresholdSlider : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleThresholdSlider(QSlider* slider)
        : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        switch (kind) {
        case QAccessible::Value:
            return SettingsView::thresholdText(threshold());
        case QAccessible::Description:
            return QStringLiteral("使用率がこの値を超えると警告表示");
        default:
            return QAccessibleWidget::text(kind);
        }
    }

    QVariant currentValue() const override { return static_cast<int>(percentKey(threshold(), 0)); }
    void setCurrentValue(const QVariant& value) override {
        slider()->setValue(SettingsView::positionForThreshold(value.toDouble() / 100.0));
    }
    QVariant maximumValue() const override {
        return static_cast<int>(percentKey(lastThreshold(), 0));
    }
    QVariant minimumValue() const override {
        return static_cast<int>(percentKey(SettingsView::thresholdAtPosition(0), 0));
    }
    QVariant minimumStepSize() const override { return percentStep; }

private:
    QSlider* slider() const { return static_cast<QSlider*>(widget()); }
    double threshold() const { return SettingsView::thresholdAtPosition(slider()->value()); }
    static double lastThreshold() {
        return SettingsView::thresholdAtPosition(SettingsView::thresholdPositions - 1);
    }
};

QAccessibleInterface* windowFactory(const QString& /*className*/, QObject* object) {
    if (qobject_cast<SettingsView*>(object) != nullptr || qobject_cast<AboutView*>(object)) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
    }
    auto* slider = qobject_cast<QSlider*>(object);
    if (slider != nullptr && slider->objectName() == QLatin1String(keys::diskAlertThreshold) &&
        qobject_cast<SettingsView*>(slider->window()) != nullptr) {
        return new AccessibleThresholdSlider(slider);
    }
    return nullptr;
}

} // namespace

void installWindowAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(windowFactory);
        return true;
    }();
    (void)installed;
}

} // namespace trovimo
