#pragma once
// The lock over the open screens: they stay as they were beneath it, and it
// goes only with the password of the operator who was working or of an
// admin. It fills the screen, so that nothing of the screens beneath shows.
// Esc and the window's close do nothing.

#include "practice/unlockcheck.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace lumo {

struct SharedState;

class LockScreen : public QDialog
{
public:
    LockScreen(SharedState& state, UnlockCheck check, QWidget* parent = nullptr);

    // 解除鎖定: the check, the log's entry, and the lock gone or a word why not.
    void tryUnlock();

protected:
    void reject() override {} // only a password takes the lock away
    void closeEvent(QCloseEvent* e) override;

private:
    SharedState& m_state;
    UnlockCheck m_check;
    QLineEdit* m_name;
    QLineEdit* m_password;
    QLabel* m_result;
};

} // namespace lumo
