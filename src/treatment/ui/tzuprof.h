#pragma once
// The treatment program screen: the operator's own programs and the
// conditions of the current one, with the panels that edit a condition. A
// program's own data is changed in the group editor, opened from here.

#include "records/rows.h"
#include "shell/ui/filechooser.h"
#include "shell/ui/launcher.h"
#include "treatment/programscreen.h"
#include "treatment/treatmenttables.h"

#include <QDialog>
#include <array>
#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class QGridLayout;

namespace lumo {

struct SharedState;
class ConditionPanelsView;
class ProgramPicture;
class ProgramTableModel;

class TZuProf : public QDialog
{
    Q_OBJECT
public:
    explicit TZuProf(SharedState& state, QWidget* parent = nullptr);
    ~TZuProf() override;
    // Esc and the close box with a condition being added or changed ask first;
    // 是 discards the pending change (as 放  棄) and closes.
    void reject() override;

    // The controls, for tests and the end-to-end driver.
    QTableView* programGrid() const { return m_programGrid; }
    QTableWidget* conditionGrid() const { return m_conditionGrid; }
    ConditionPanelsView* panels() const { return m_panels; }
    QAction* action(const QString& caption) const;
    QLabel* statusLine() const { return m_status; }
    QLabel* countLine() const { return m_count; }
    QPlainTextEdit* descriptionBox() const { return m_description; }
    ProgramPicture* picture() const { return m_picture; }
    QCheckBox* scaleBox() const { return m_scale; }
    QPushButton* pictureChangeButton() const { return m_pictureChange; }
    QPushButton* pictureClearButton() const { return m_pictureClear; }
    QPushButton* programButton(int n) const { return m_programButtons[size_t(n - 1)]; }
    QLineEdit* conditionNameField() const { return m_conditionName; }
    QLineEdit* conditionNoteField() const { return m_conditionNote; }
    QCheckBox* requiredBox() const { return m_required; }

    ProgramScreenMode mode() const { return m_mode; }
    ProgramGrid activeGrid() const { return m_active; }
    int programCount() const;
    int currentProgramRow() const { return m_row; }
    const std::optional<ProgramRow>& currentProgram() const { return m_program; }
    const QVector<ConditionRow>& conditions() const { return m_conditions; }
    int currentConditionRow() const { return m_conditionRow; }

    // The toolbar.
    void addProgram();      // 新增療程
    void modifyProgram();   // 修改療程
    void deleteProgram();   // 刪除療程
    void addCondition();    // 新增條件
    void modifyCondition(); // 修改條件
    void deleteCondition(); // 刪除條件
    void confirm();         // 確認異動
    void cancelEdit();      // 放  棄

    // Entering a grid (by focus or a click) and moving in it.
    void enterGrid(ProgramGrid grid);
    void moveToProgram(int row);
    void moveToCondition(int row);

    // The group editor, given add (true) or edit mode and the remembered
    // program number, which a successful add replaces by the new number.
    // Tests replace it; by default it opens TZuProM.
    std::function<void(bool add, QString& remembered)> groupEditor;
    FileChooser chooser = systemFileChooser();
    LauncherPlatform launcher = LauncherPlatform::system();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolbar();
    QWidget* buildLeftColumn();
    QGridLayout* buildProgramData(QWidget* column);
    QWidget* buildRightColumn();
    void openGroupEditor(bool add);
    void reloadPrograms();
    void reloadConditions(qint64 keepKey, int fallbackRow);
    void showProgram();
    void showCondition();
    void fillConditionGrid();
    void applyMode();
    void setMode(ProgramScreenMode mode);
    void returnToGrid(ProgramGrid grid);
    void choosePicture();
    bool editing() const;

    SharedState& m_state;
    TreatmentTables m_tables;
    ProgramScreenMode m_mode = ProgramScreenMode::Query;
    ProgramGrid m_active = ProgramGrid::Programs;
    int m_row = -1;
    std::optional<ProgramRow> m_program;
    QVector<ConditionRow> m_conditions;
    int m_conditionRow = -1;
    ConditionRow m_editing; // the condition of an add or modify, until 確認異動 or 放  棄

    QList<QAction*> m_actions;
    QTableView* m_programGrid = nullptr;
    ProgramTableModel* m_programModel = nullptr;
    QTableWidget* m_conditionGrid = nullptr;
    QLabel* m_count = nullptr;
    QPlainTextEdit* m_description = nullptr;
    ProgramPicture* m_picture = nullptr;
    QPushButton* m_pictureChange = nullptr;
    QPushButton* m_pictureClear = nullptr;
    QCheckBox* m_scale = nullptr;
    std::array<QPushButton*, 4> m_programButtons{};
    QLabel* m_programNumber = nullptr;
    QLabel* m_programName = nullptr;
    QLineEdit* m_conditionName = nullptr;
    QLineEdit* m_conditionNote = nullptr;
    QCheckBox* m_required = nullptr;
    ConditionPanelsView* m_panels = nullptr;
    QLabel* m_status = nullptr;
    bool m_moving = false; // the grids being set by the screen, not the operator
};

} // namespace lumo
