#pragma once
// The save screen: stores the current measurement as a new row under a
// subject picked from the list or added on the spot.

#include "records/rows.h"

#include <QDialog>
#include <optional>

class QLabel;
class QPushButton;

namespace lumo {

struct SharedState;
class SubjectPicker;

class TZusave : public QDialog
{
    Q_OBJECT
public:
    explicit TZusave(SharedState& state, QWidget* parent = nullptr);

    SubjectPicker* picker() const { return m_picker; }
    class ConditionsGroup* conditions() const { return m_conditions; }
    const std::optional<SubjectRow>& target() const { return m_target; }
    // The grid's row became current: it is the target.
    void rowEntered();
    void saveToTarget();   // 儲存數據
    void rowDoubleClicked();
    void addSubject();     // 新增受測者
    // The editor that 新增受測者 opens; tests drive it through this hook.
    std::function<void(class TZuREdit&)> editorHook;

private:
    void showTarget();
    void refreshCount();

    SharedState& m_state;
    SubjectPicker* m_picker;
    std::optional<SubjectRow> m_target;
    QLabel* m_panel[9];
    QLabel* m_count;
    QPushButton* m_saveButton;
    class ConditionsGroup* m_conditions;
};

// "%6.0d" subjects, "  -  [ ", measurements, " ]".
QString countLine(qint64 subjects, qint64 measurements);

} // namespace lumo
