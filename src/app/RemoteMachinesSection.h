#pragma once

#include <QGroupBox>

class QLabel;
class QListWidget;
class QPushButton;

namespace trovimo {

class RemoteMachineDialog;
class SettingsStore;

// The settings window's "他のマシン": the machines a panel can show, each by its name and its
// exporter's URL, added (RemoteMachineDialog) and removed here; every change writes the whole
// list at once.
class RemoteMachinesSection : public QGroupBox {
    Q_OBJECT
public:
    explicit RemoteMachinesSection(SettingsStore& settings, QWidget* parent = nullptr);

    // Opens the add dialog; what it accepts joins the list.
    void add();
    // Removes the machine selected in the list.
    void removeSelected();
    // Breaks the hint between phrases, once the window's layout gave the section its width.
    void wrapTexts();

signals:
    // The add dialog opened. Where something listens (a test), it answers the dialog, which
    // is then not run on its own.
    void dialogOpened(trovimo::RemoteMachineDialog& dialog);

private:
    void refresh();

    SettingsStore& settings_;
    QListWidget* list_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* remove_ = nullptr;
};

} // namespace trovimo
