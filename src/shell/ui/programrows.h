#pragma once
// Rows of attached external programs, as the user settings (six custom
// buttons) and the treatment group editor (four program buttons) edit them:
// a box 程式 N, a description, a program and a parameter with their browse
// buttons, and a test button that launches the row as typed.

#include "shell/ui/filechooser.h"
#include "shell/ui/launcher.h"

#include <QVector>
#include <QWidget>

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace lumo {

class ProgramRows : public QWidget
{
    Q_OBJECT
public:
    struct Row
    {
        bool enabled = false;
        QString hint, program, param;
    };

    // maxLength 0: the fields take any length.
    ProgramRows(int rows, int maxLength, QWidget* parent = nullptr);

    int rows() const { return int(m_rows.size()); }
    void setRow(int n, const Row& row); // 1-based
    Row row(int n) const;               // the texts exactly as typed
    // Every row in one text: two snapshots differ when anything was changed.
    QString snapshot() const;

    QCheckBox* box(int n) const { return m_rows[n - 1].box; }
    QLineEdit* hintField(int n) const { return m_rows[n - 1].hint; }
    QLineEdit* programField(int n) const { return m_rows[n - 1].program; }
    QLineEdit* paramField(int n) const { return m_rows[n - 1].param; }
    QPushButton* programBrowse(int n) const { return m_rows[n - 1].programBrowse; }
    QPushButton* paramBrowse(int n) const { return m_rows[n - 1].paramBrowse; }
    QPushButton* testButton(int n) const { return m_rows[n - 1].test; }

    // Replaceable in tests.
    FileChooser chooser = systemFileChooser();
    LauncherPlatform launcher = LauncherPlatform::system();
    // Where a test launch that started nothing is said.
    MessageSource* messages = nullptr;

private:
    struct Widgets
    {
        QCheckBox* box = nullptr;
        QLineEdit *hint = nullptr, *program = nullptr, *param = nullptr;
        QPushButton *programBrowse = nullptr, *paramBrowse = nullptr, *test = nullptr;
    };
    void addRow(QGridLayout* grid, int n, int maxLength);
    void browse(QLineEdit* field, FileRequest::Kind kind);

    QVector<Widgets> m_rows;
};

} // namespace lumo
