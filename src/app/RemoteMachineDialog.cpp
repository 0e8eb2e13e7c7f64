#include "app/RemoteMachineDialog.h"

#include "app/TextStyles.h"
#include "remote/Credential.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace trovimo {

RemoteMachineDialog::RemoteMachineDialog(QList<RemoteMachine> listed, QWidget* parent)
    : QDialog(parent), listed_(std::move(listed)) {
    setWindowTitle(QStringLiteral("マシンを追加"));
    auto* root = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("name"));
    name_->setPlaceholderText(QStringLiteral("NAS"));
    form->addRow(QStringLiteral("名前"), name_);
    url_ = new QLineEdit(this);
    url_->setObjectName(QStringLiteral("url"));
    url_->setPlaceholderText(QStringLiteral("http://nas.local:9100/metrics"));
    form->addRow(QStringLiteral("URL"), url_);
    auto* fileRow = new QHBoxLayout;
    credentialFile_ = new QLineEdit(this);
    credentialFile_->setObjectName(QStringLiteral("credentialFile"));
    credentialFile_->setPlaceholderText(QStringLiteral("なし"));
    fileRow->addWidget(credentialFile_);
    auto* choose = new QPushButton(QStringLiteral("選択…"), this);
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("認証情報ファイル"));
        if (!path.isEmpty()) {
            credentialFile_->setText(path);
        }
    });
    fileRow->addWidget(choose);
    form->addRow(QStringLiteral("認証情報ファイル"), fileRow);
    root->addLayout(form);

    auto* note = new QLabel(
        QStringLiteral("node exporter の metrics の URL（http か https）を指定します。認証が必要な"
                       "ときは、トークンか 利用者名:パスワード を1行で書いた、本人だけが読める"
                       "ファイル（chmod 600）を指定してください。"),
        this);
    note->setWordWrap(true);
    note->setFont(textstyle::caption());
    textstyle::makeSecondary(*note);
    root->addWidget(note);

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("message"));
    message_->setWordWrap(true);
    QPalette warning = message_->palette();
    warning.setColor(QPalette::WindowText, Qt::red);
    message_->setPalette(warning);
    message_->hide();
    root->addWidget(message_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RemoteMachineDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RemoteMachineDialog::reject);
    root->addWidget(buttons);
    setMinimumWidth(380);
}

RemoteMachine RemoteMachineDialog::machine() const {
    return {name_->text().trimmed(), url_->text().trimmed(), credentialFile_->text().trimmed()};
}

std::optional<QString> RemoteMachineDialog::problem(const RemoteMachine& machine,
                                                    const QList<RemoteMachine>& listed) {
    if (auto problem = remoteMachineProblem(machine)) {
        return problem;
    }
    if (std::any_of(listed.begin(), listed.end(),
                    [&](const RemoteMachine& each) { return each.name == machine.name; })) {
        return QStringLiteral("同じ名前のマシンがすでにあります");
    }
    if (listed.size() >= maximumRemoteMachines) {
        return QStringLiteral("これ以上マシンを追加できません（%1 台まで）")
            .arg(maximumRemoteMachines);
    }
    if (machine.credentialFile.isEmpty()) {
        return std::nullopt;
    }
    std::string reason;
    CredentialFault fault = CredentialFault::unreadable;
    if (readCredential(QFile::encodeName(machine.credentialFile).toStdString(), reason, &fault)) {
        return std::nullopt;
    }
    switch (fault) {
    case CredentialFault::unreadable:
        return QStringLiteral("認証情報ファイルを開けません（シンボリックリンクは使えません）");
    case CredentialFault::notRegularFile:
        return QStringLiteral("認証情報ファイルが通常のファイルではありません");
    case CredentialFault::notPrivate:
        return QStringLiteral("認証情報ファイルは本人だけが読めるようにしてください（chmod 600）");
    case CredentialFault::notOneSecret:
        break;
    }
    return QStringLiteral("認証情報ファイルには、トークンか 利用者名:パスワード を1行だけ書いて"
                          "ください");
}

void RemoteMachineDialog::accept() {
    if (const auto why = problem(machine(), listed_)) {
        message_->setText(*why);
        message_->show();
        return;
    }
    QDialog::accept();
}

} // namespace trovimo
