#pragma once
// 資料備份: a copy of the main database now, into a folder the operator names
// (a stick that leaves the machine, another disk), encrypted with the
// practice's backup passphrase when ticked. The rules are backupchoice.h's;
// this screen holds the fields and tells the outcome.

#include "backup/backupchoice.h"

#include <QDialog>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace lumo {

struct SharedState;

class BackupDialog : public QDialog
{
    Q_OBJECT
public:
    explicit BackupDialog(SharedState& state, QWidget* parent = nullptr);

    EncryptionOffer offer() const { return m_offer; }

private:
    void buildFields();
    void followEncryption();
    void browse();
    void start();
    QLineEdit* fieldOf(BackupField field) const;

    SharedState& m_state;
    EncryptionOffer m_offer;
    QLineEdit* m_folder = nullptr;
    QPushButton* m_browse = nullptr;
    QCheckBox* m_encrypt = nullptr;
    QLabel* m_passLabel = nullptr;
    QLineEdit* m_pass = nullptr;
    QLabel* m_repeatLabel = nullptr;
    QLineEdit* m_repeat = nullptr;
    QLabel* m_note = nullptr;
    QPushButton* m_start = nullptr;
};

// The entry under 系統支援; practice mode's guard follows it after the login.
QAction* addBackupEntry(QMenu* menu, SharedState& state, QWidget* window);

} // namespace lumo
