#pragma once
// The measurement screen: measures the 24 points with the probe and is the hub
// from which a measurement is analysed, saved, loaded, typed in and compared.

#include "measurement/measuringrun.h"
#include "measurement/repeatsession.h"

#include <QDialog>
#include <functional>

class QAction;
class QLabel;
class QStackedWidget;
class QToolBar;
class QRadioButton;
class QSlider;
class QDoubleSpinBox;
class QGroupBox;
class QTableWidget;
class QTableWidgetItem;
class QStatusBar;
class QCheckBox;

namespace lumo {

class BalanceGraph;
class GradientBar;
class LedLamp;
class PictureLabel;

// The screens the measurement screen opens; each returns when its screen closed.
struct MeasurementLinks
{
    std::function<void(QWidget*)> analysis;
    std::function<void(QWidget*)> save;
    std::function<void(QWidget*)> browse;
    std::function<void(QWidget*)> manualEntry;
    std::function<void(QWidget*)> compare;
};

class TZudec : public QDialog, private MeasuringView
{
    Q_OBJECT
public:
    TZudec(SharedState& state, Instrument& instrument, MeasurementLinks links, QWidget* parent = nullptr);

    QAction* action(const QString& caption) const;
    MeasuringRun& run() { return m_run; }
    // The grid's reverse mapping: a click on a cell while waiting picks its point.
    void gridClicked(int row, int column);
    void refreshFromState(); // what showing the screen does

    // Toolbar actions.
    void ToolButtonMeasureClick();
    void ToolButtonStopClick();
    void ToolButtonClearClick();
    // 重新測量 (R): during a run the point stored last, after it the first
    // point graded C that was not measured again (tzudecquality.cpp).
    void ToolButtonRemeasureClick();
    QCheckBox* repeatModeBox() const { return m_repeatMode; }
    // 儲存資料: the save screen, and a word in the status bar when it stored.
    void ToolButtonSaveClick();
    // What the idle status bar says: missing points, or the calibration reminder.
    QString idleStatusText() const;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    // MeasuringView
    void runStarted() override;
    void runEnded() override;
    void showPoint(int point) override;
    void setStatus(const QString& text) override;
    void setPickAllowed(bool allowed) override;
    void showValues(double measured, double compensated) override;
    void showLive(double microamperes) override;
    void setLevelBar(int value) override;
    void setCompletionBar(int value) override;
    void setLamps(Phase phase) override;
    QSize graphSize() const override;
    void clearGraph() override;
    void traceLine(QPoint from, QPoint to, bool fan) override;
    void pointStored(int point) override;
    void measurementCleared() override;
    void instrumentMissing(bool missing) override;
    void repeatDone(int point, bool replaced) override;

    // Reading grades in the grid, measuring again, the repeat mode (tzudecquality.cpp).
    QString cellText(int point) const;
    void showGrade(int point);
    void showAllGrades();
    void announceGrade(int point);
    int remeasureTarget() const;
    void updateRemeasureAction();
    void repeatModeToggled(bool on);
    void measurementSaved();
    void prepareRepeatRun();

    // The layout, built once; the run display above only changes what it shows.
    void buildUi();
    QToolBar* buildToolbar();
    QWidget* buildGridGroup();
    QWidget* buildStatusGroup();
    QWidget* buildPictureGroup();
    QLayout* buildBars();
    QWidget* buildSubjectGroup();
    QWidget* buildPotentialGroup();
    QWidget* buildMinimumGroup();
    void fillGrid();
    // The marks beside the grade's: a value from an earlier run, a point left
    // out; each also in the tool tip and to a screen reader.
    void markCell(QTableWidgetItem* item, int point, QString tip, bool poor);
    // After every change of the grid: its marks and the idle status line.
    void gridChanged();
    // The keys go to the step that follows a run: 能量分析, else 儲存資料.
    void focusNextStep();
    void showModeLabel(bool high);
    void showSubject();
    void setIdleButtons();
    void openLinked(const std::function<void(QWidget*)>& open, bool afterAnalysis = false);
    void setMinResponse(int tenths);
    void loadPicture(int point);

    SharedState& m_state;
    Instrument& m_instrument;
    MeasurementLinks m_links;
    MeasuringRun m_run;
    int m_shownPoint = 0;

    QTableWidget* m_grid;
    QLabel* m_mode;
    QLabel* m_measured;
    QLabel* m_compensated;
    QLabel* m_date;
    QLabel* m_time;
    QLabel* m_position;
    QLabel* m_channel;
    QLabel* m_source;
    QLabel* m_english;
    PictureLabel* m_picture;
    QLabel* m_pictureSource;
    QRadioButton* m_style[3];
    GradientBar* m_level;
    QLabel* m_live;
    LedLamp* m_levelLamp;
    GradientBar* m_completion;
    LedLamp* m_statusLamp;
    QStackedWidget* m_graphOrSubject; // the balance graph during a run, the subject otherwise
    QGroupBox* m_graphGroup;
    BalanceGraph* m_graph;
    LedLamp* m_graphLamp;
    QGroupBox* m_subjectGroup;
    QLabel* m_subject[5];
    QRadioButton* m_male;
    QRadioButton* m_female;
    QRadioButton* m_high;
    QRadioButton* m_standard;
    QDoubleSpinBox* m_minUpDown; // the setting in uA, the one number shown for it
    QSlider* m_minTrack;
    QStatusBar* m_status;
    QLabel* m_idleStatus; // shown whenever no prompt or brief notice covers it
    QToolBar* m_toolBar = nullptr;
    QList<QAction*> m_actions;
    bool m_markMissing = true; // a run walks the empty cells; outside one they are marked
    QAction* m_remeasure = nullptr;
    QCheckBox* m_repeatMode = nullptr;
    RepeatSession m_repeat;
};

} // namespace lumo
