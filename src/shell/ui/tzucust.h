#pragma once
// The user settings screen: the texts that name the practice on the screen and
// on printed reports, and the six custom function buttons of the main window.

#include "widgets/unsavedchanges.h"

#include <QDialog>
#include <array>

class QAction;
class QLabel;
class QGridLayout;
class QLineEdit;
class QSpinBox;
class QTabWidget;

namespace lumo {

struct SharedState;
class ProgramRows;

class TZuCust : public QDialog
{
    Q_OBJECT
public:
    explicit TZuCust(SharedState& state, QWidget* parent = nullptr);

    QTabWidget* pages() const { return m_pages; }
    // UserName1, UserName2, UserData1, UserData2.
    QLineEdit* userField(int i) const { return m_user[size_t(i)]; }
    ProgramRows* programRows() const { return m_rows; }
    // The screen lock's idle time in minutes.
    QSpinBox* idleMinutesField() const { return m_idleMinutes; }
    QAction* saveAction() const { return m_save; }
    QAction* leaveAction() const { return m_leave; }

    // 儲存資料: nothing reaches the configuration unless its file was written.
    void save();
    // Esc, the close box and 離  開 ask before typed changes are thrown away.
    void reject() override;
    bool hasUnsavedChanges() const { return m_unsaved.changed(); }

private:
    QWidget* buildUserPage();
    QString snapshot() const;
    void showMissingPrograms();
    void addIdleTimeRow(QGridLayout* grid, int row);

    SharedState& m_state;
    QTabWidget* m_pages = nullptr;
    std::array<QLineEdit*, 4> m_user{};
    ProgramRows* m_rows = nullptr;
    QSpinBox* m_idleMinutes = nullptr;
    QAction* m_save = nullptr;
    QAction* m_leave = nullptr;
    QLabel* m_missing = nullptr;
    UnsavedChanges m_unsaved{[this] { return snapshot(); }};
};

} // namespace lumo
