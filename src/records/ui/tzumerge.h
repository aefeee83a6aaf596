#pragma once
// 合併受測者: two subjects side by side with their fields and measurement
// counts; the operator picks each field from one or the other, and the
// measurements of both go to the kept subject. The last merge can be undone
// here until the next one.

#include "records/rows.h"
#include "records/subjectmerge.h"

#include <QDialog>
#include <array>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace lumo {

struct SharedState;

class TZuMerge : public QDialog
{
    Q_OBJECT
public:
    // keptKey: the subject the browser stood on; 0 opens on the numbers that
    // more than one subject holds (after an import brought them).
    TZuMerge(SharedState& state, qint64 keptKey, QWidget* parent = nullptr);

    void mergeClicked(); // 合併受測者
    void undoClicked();  // 復原上次合併
    void findOthers();   // Enter in the number box
    void chooseDuplicate(int index);
    // The fields as chosen now: true takes the merged-in subject's value.
    MergeChoice choice() const;
    QComboBox* others() const { return m_others; }
    QRadioButton* option(MergeField f, bool other) const;

private:
    QWidget* buildFields();
    void setKept(qint64 key);
    void otherChanged();
    void showLastMerge();
    void fillDuplicates();
    QString mergeQuestion() const;
    QString who(const SubjectRow& s) const;
    QString fieldShown(const SubjectRow& s, MergeField f) const;

    SharedState& m_state;
    std::optional<SubjectRow> m_kept;
    std::optional<SubjectRow> m_other;
    QComboBox* m_duplicates;
    QLabel* m_keptLabel;
    QComboBox* m_others;
    QLineEdit* m_find;
    std::array<QButtonGroup*, MergeFieldCount> m_groups{};
    std::array<QRadioButton*, MergeFieldCount> m_mine{};
    std::array<QRadioButton*, MergeFieldCount> m_theirs{};
    QLabel* m_keptCount;
    QLabel* m_otherCount;
    QLabel* m_last;
    QPushButton* m_merge;
    QPushButton* m_undo;
};

} // namespace lumo
