#include "app/RemoteMachinesSection.h"

#include "app/RemoteMachineDialog.h"
#include "app/TextStyles.h"
#include "model/RemoteMachine.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMetaMethod>
#include <QPushButton>
#include <QVBoxLayout>

namespace trovimo {

RemoteMachinesSection::RemoteMachinesSection(SettingsStore& settings, QWidget* parent)
    : QGroupBox(QStringLiteral("他のマシン"), parent), settings_(settings) {
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("machines"));
    // A few rows high whatever it holds, so that the window keeps its size.
    list_->setFixedHeight(list_->fontMetrics().height() * 4 + 2 * list_->frameWidth() + 8);
    layout->addWidget(list_);
    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
    hint_->setFont(textstyle::caption());
    textstyle::makeSecondary(*hint_);
    layout->addWidget(hint_);
    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("追加…"), this);
    add->setObjectName(QStringLiteral("addMachine"));
    remove_ = new QPushButton(QStringLiteral("削除"), this);
    remove_->setObjectName(QStringLiteral("removeMachine"));
    buttons->addWidget(add);
    buttons->addWidget(remove_);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &RemoteMachinesSection::add);
    connect(remove_, &QPushButton::clicked, this, &RemoteMachinesSection::removeSelected);
    connect(list_, &QListWidget::currentRowChanged, this,
            [this](int row) { remove_->setEnabled(row >= 0); });
    connect(&settings_, &SettingsStore::changed, this, [this](const QString& key) {
        if (key == QLatin1String(keys::remoteMachines)) {
            refresh();
        }
    });
    refresh();
}

void RemoteMachinesSection::wrapTexts() {
    textstyle::setEvenlyWrappedText(*hint_,
                                    QStringLiteral("node exporter が動いている他のマシンを追加する"
                                                   "と、パネルの右クリックメニューから選んで表示"
                                                   "できます。"));
}

void RemoteMachinesSection::refresh() {
    list_->clear();
    for (const RemoteMachine& machine : readRemoteMachines(settings_)) {
        auto* item =
            new QListWidgetItem(QStringLiteral("%1 — %2").arg(machine.name, machine.url), list_);
        item->setData(Qt::UserRole, machine.name);
        item->setToolTip(
            machine.credentialFile.isEmpty()
                ? machine.url
                : QStringLiteral("%1\n認証情報: %2").arg(machine.url, machine.credentialFile));
    }
    remove_->setEnabled(list_->currentRow() >= 0);
}

void RemoteMachinesSection::add() {
    const QList<RemoteMachine> listed = readRemoteMachines(settings_);
    RemoteMachineDialog dialog(listed, window());
    if (isSignalConnected(QMetaMethod::fromSignal(&RemoteMachinesSection::dialogOpened))) {
        emit dialogOpened(dialog); // answered there
    } else {
        dialog.exec();
    }
    if (dialog.result() != QDialog::Accepted) {
        return;
    }
    writeRemoteMachines(settings_, QList<RemoteMachine>(listed) << dialog.machine());
}

void RemoteMachinesSection::removeSelected() {
    const QListWidgetItem* item = list_->currentItem();
    if (item == nullptr) {
        return;
    }
    const QString name = item->data(Qt::UserRole).toString();
    QList<RemoteMachine> machines = readRemoteMachines(settings_);
    machines.removeIf([&](const RemoteMachine& machine) { return machine.name == name; });
    writeRemoteMachines(settings_, machines);
}

} // namespace trovimo
