#pragma once
// The subject editor: adds a subject or changes the current one.

#include "records/rows.h"
#include "widgets/unsavedchanges.h"

#include <QDate>
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace lumo {

struct SharedState;
class Database;
class DateField;

class TZuREdit : public QDialog
{
    Q_OBJECT
public:
    enum class Mode
    {
        Add,
        Change
    };
    // Change mode edits `row`; add mode starts empty with the sex of CurrentSubject.
    TZuREdit(Mode mode, SharedState& state, Database& db, const SubjectRow& row = {},
             QWidget* parent = nullptr);

    bool added() const { return m_added; }
    qint64 addedKey() const { return m_addedKey; }
    void save(); // 儲存資料

    // Tests type into the fields through these.
    QLineEdit* field(const char* name) const;

    // Esc, the close box and 離  開 ask before typed changes are thrown away.
    void reject() override;
    bool hasUnsavedChanges() const { return m_unsaved.changed(); }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void buildFields();
    void buildLayout();
    void proposeBirthDate();
    void fillFrom(const SubjectRow& row);
    void updateSaveEnabled();
    double birthDay() const;
    void enterInBirthDate();
    void refuseDate(const QString& typed);
    QString snapshot() const;

    Mode m_mode;
    SharedState& m_state;
    Database& m_db;
    SubjectRow m_row;
    bool m_added = false;
    qint64 m_addedKey = 0;
    QDate m_proposed; // a date the editor proposed, to recognise one left unchanged
    bool m_birthTyped = false; // the operator typed into the date (also today's date on purpose)
    QLineEdit* m_no;
    QLineEdit* m_name;
    QCheckBox* m_hasBirth;
    DateField* m_birth;
    QLineEdit* m_addr;
    QLineEdit* m_email;
    QLineEdit* m_tel;
    QLineEdit* m_tel2;
    QLineEdit* m_tel3;
    QRadioButton* m_male;
    QRadioButton* m_female;
    QPlainTextEdit* m_memo;
    QPushButton* m_save;
    QPushButton* m_leave;
    UnsavedChanges m_unsaved{[this] { return snapshot(); }};
};

// The duplicate notice for a number already given to `existingName`.
QString duplicateSubjectMessage(const QString& existingName);

} // namespace lumo
