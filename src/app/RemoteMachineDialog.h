#pragma once

#include "model/RemoteMachine.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;

namespace trovimo {

// "追加…" of the settings window's other machines: a name, the exporter's metrics URL and, where
// the machine asks for one, the file holding the credential. OK is taken only for a machine
// that can be listed; otherwise the dialog stays open and says why.
class RemoteMachineDialog : public QDialog {
    Q_OBJECT
public:
    RemoteMachineDialog(QList<RemoteMachine> listed, QWidget* parent = nullptr);

    [[nodiscard]] RemoteMachine machine() const;

    // Why `machine` cannot join `listed`, in the window's words; none when it can. A credential
    // file is read to check it (ours alone, one secret on one line) and its secret forgotten.
    [[nodiscard]] static std::optional<QString> problem(const RemoteMachine& machine,
                                                        const QList<RemoteMachine>& listed);

    void accept() override;

private:
    QList<RemoteMachine> listed_;
    QLineEdit* name_ = nullptr;
    QLineEdit* url_ = nullptr;
    QLineEdit* credentialFile_ = nullptr;
    QLabel* message_ = nullptr;
};

} // namespace trovimo
