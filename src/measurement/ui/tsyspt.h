#pragma once
// The probe calibration screen: shows what the calibration run keeps, the
// previous and the new values with their gauges, and the last five entries of
// the calibration log.

#include "measurement/calibrationrun.h"

#include <QDialog>

class QAction;
class QLabel;
class QTableWidget;

namespace lumo {

class AnalogueMeter;
class GradientBar;
class LedLamp;

class TSyspt : public QDialog, private CalibrationView
{
    Q_OBJECT
public:
    TSyspt(SharedState& state, Instrument& instrument, QWidget* parent = nullptr);

    CalibrationRun& run() { return m_run; }
    QAction* action(const QString& caption) const;
    QTableWidget* logTable() const { return m_log; }

    void ToolButtonStartClick();
    void ToolButtonStopClick();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    void showCalibration(const CalibrationDisplay& d) override;
    void calibrationStored() override { fillLog(); }
    void fillLog();

    // tsysptlayout.cpp
    void buildUi();
    void buildToolbar();
    QWidget* buildPrevious();
    QWidget* buildCurrent();
    QWidget* buildIndicator();
    QWidget* buildResult();
    QWidget* buildLog();

    SharedState& m_state;
    CalibrationRun m_run;
    CalibrationDisplay m_shown;
    bool m_anyShown = false;

    QList<QAction*> m_actions; // 開始校準, 停止校準, 離  開
    QLabel* m_previousDate;
    QLabel* m_previousStandard;
    QLabel* m_previousHigh;
    AnalogueMeter* m_previousStandardGauge;
    AnalogueMeter* m_previousHighGauge;
    QLabel* m_todayDate;
    QLabel* m_newStandard;
    QLabel* m_newHigh;
    AnalogueMeter* m_standardChangeGauge;
    AnalogueMeter* m_highChangeGauge;
    QLabel* m_standardIndicator;
    QLabel* m_highIndicator;
    GradientBar* m_standardBar;
    GradientBar* m_highBar;
    LedLamp* m_standardLamp;
    LedLamp* m_highLamp;
    AnalogueMeter* m_balanceGauge;
    QLabel* m_result;
    LedLamp* m_resultLamp;
    QTableWidget* m_log;
    QLabel* m_status;
};

} // namespace lumo
