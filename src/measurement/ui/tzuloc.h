#pragma once
// The acupoint locating screen: shows what the locating run keeps, and hands
// the toolbar, the options, the mode buttons and the sensitivity to it.

#include "measurement/locatingrun.h"

#include <QDialog>

class QAction;
class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class QStatusBar;

namespace lumo {

class AnalogueMeter;
class GradientBar;
class LedLamp;
class SegmentMeter;

class TZuLoc : public QDialog, private LocatingView
{
    Q_OBJECT
public:
    TZuLoc(SharedState& state, Instrument& instrument, QWidget* parent = nullptr);

    LocatingRun& run() { return m_run; }
    QAction* action(const QString& caption) const;

    void ToolButtonStartClick();
    void ToolButtonStopClick();
    void ToolButtonClearClick();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    void showLocating(const LocatingDisplay& d) override;
    void showValues(const LocatingDisplay& d);
    void showControls(const LocatingDisplay& d);
    static void showLamp(LedLamp* lamp, const LampShow& show);

    // tzuloclayout.cpp
    void buildUi();
    void buildToolbar();
    QWidget* buildOptions();
    QWidget* buildModes();
    QWidget* buildSensitivity();
    QWidget* buildPotential();
    QWidget* buildReadings();
    QWidget* buildState();
    QWidget* buildBalance();

    SharedState& m_state;
    LocatingRun m_run;
    LocatingDisplay m_shown;
    bool m_anyShown = false;

    QList<QAction*> m_actions; // 開始定位, 停止定位, 清除數據, 離  開
    QCheckBox* m_sound;
    QCheckBox* m_keepHighest;
    QCheckBox* m_highPotential;
    QRadioButton* m_searchMode;
    QRadioButton* m_locatingMode;
    LedLamp* m_searchLamp;
    LedLamp* m_locatingLamp;
    QSpinBox* m_sensitivity;
    QLabel* m_potentialText;
    LedLamp* m_potentialLamp;
    QLabel* m_reading;
    LedLamp* m_readingLamp;
    GradientBar* m_readingBar;
    QLabel* m_highest;
    LedLamp* m_highestLamp;
    GradientBar* m_highestBar;
    QLabel* m_stateText;
    LedLamp* m_stateLamp;
    SegmentMeter* m_segments;
    AnalogueMeter* m_balance;
    QStatusBar* m_status;
};

} // namespace lumo
