#pragma once

#include <QAccessibleInterface>

namespace trovimo {

// An accessible object without children whose texts are its own to give, not to be set:
// what every item the panel and its menu expose shares.
class AccessibleLeaf : public QAccessibleInterface {
public:
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    void setText(QAccessible::Text /*kind*/, const QString& /*text*/) override {}
};

} // namespace trovimo
