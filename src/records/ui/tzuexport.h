#pragma once
// 匯出個人資料: a copy of everything the practice keeps about one subject,
// written as one folder into a directory the operator names.

#include "records/rows.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace lumo {

struct SharedState;
class DirectoryChooser;

class TZuExport : public QDialog
{
    Q_OBJECT
public:
    TZuExport(SharedState& state, const SubjectRow& subject, QWidget* parent = nullptr);

    void exportClicked(); // 匯  出
    // Where the folder went after a successful export; empty before.
    const QString& written() const { return m_written; }
    DirectoryChooser* directory() const { return m_directory; }

private:
    void updateTarget();

    SharedState& m_state;
    SubjectRow m_subject;
    DirectoryChooser* m_directory;
    QLineEdit* m_name;
    QLabel* m_target;
    QProgressBar* m_progress;
    QPushButton* m_export;
    QPushButton* m_leave;
    QString m_written;
};

} // namespace lumo
