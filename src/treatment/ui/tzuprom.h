#pragma once
// The treatment group editor: adds a program (a group) or changes a program's
// own data: number and name, description, illustration, the four attached
// programs. Conditions are edited on the treatment program screen.

#include "records/rows.h"
#include "shell/ui/filechooser.h"
#include "treatment/groupediting.h"
#include "widgets/unsavedchanges.h"

#include <QDialog>

class QAction;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace lumo {

struct SharedState;
class ProgramPicture;
class ProgramRows;

class TZuProM : public QDialog
{
    Q_OBJECT
public:
    enum class Mode
    {
        Add,
        Edit
    };
    // In edit mode `current` is the program to change.
    TZuProM(Mode mode, SharedState& state, const ProgramRow* current, QWidget* parent = nullptr);

    QLineEdit* numberField() const { return m_number; }
    QLineEdit* nameField() const { return m_name; }
    QPlainTextEdit* descriptionBox() const { return m_description; }
    ProgramPicture* picture() const { return m_picture; }
    QCheckBox* ownSizeBox() const { return m_ownSize; }
    QPushButton* pictureChangeButton() const { return m_change; }
    QPushButton* pictureClearButton() const { return m_clear; }
    ProgramRows* programRows() const { return m_rows; }
    QAction* saveAction() const { return m_save; }

    // 儲存資料: writes, or says why not and stays open.
    void save();
    bool saved() const { return m_saved; }
    // The number of the program saved (stored trimmed), for the treatment screen to move to.
    const QString& savedNumber() const { return m_savedNumber; }

    // The open dialogs of the picture and the rows; tests answer them.
    void setFileChooser(FileChooser chooser);
    // Esc, the close box and 離  開 ask before typed changes are thrown away.
    void reject() override;
    bool hasUnsavedChanges() const { return m_unsaved.changed(); }

private:
    QString snapshot() const;
    void buildLayout();
    void fill(const ProgramRow& row);
    GroupFields fields() const;
    void choosePicture();

    Mode m_mode;
    SharedState& m_state;
    ProgramRow m_current;
    FileChooser m_chooser = systemFileChooser();
    QLineEdit* m_number = nullptr;
    QLineEdit* m_name = nullptr;
    QPlainTextEdit* m_description = nullptr;
    ProgramPicture* m_picture = nullptr;
    QPushButton* m_change = nullptr;
    QPushButton* m_clear = nullptr;
    QCheckBox* m_ownSize = nullptr;
    ProgramRows* m_rows = nullptr;
    QAction* m_save = nullptr;
    QAction* m_leave = nullptr;
    bool m_saved = false;
    QString m_savedNumber;
    UnsavedChanges m_unsaved{[this] { return snapshot(); }};
};

} // namespace lumo
