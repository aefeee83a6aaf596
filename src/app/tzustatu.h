#pragma once
// The start-up status window: checks and identifies the instrument, runs the
// timed lamp sequence and converts a waiting database of an earlier version.

#include "shell/sharedstate.h"
#include "shell/startupcheck.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace lumo {

class GradientBar;
class LedLamp;

class TZuStatu : public QDialog
{
    Q_OBJECT
public:
    TZuStatu(SharedState& state, Instrument* instrument, Clock& clock, QWidget* parent = nullptr);
    const StartupStatus& status() const { return m_status; }
    // Runs the whole check (called once, on the first activation).
    void runCheck();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void convertWaitingDatabase();
    void tell(const QString& status, const QString& text);

    SharedState& m_state;
    Instrument* m_instrument;
    Clock& m_clock;
    StartupStatus m_status;
    bool m_started = false;
    LedLamp* m_lamps[7];
    LedLamp* m_barLamp;
    QLabel* m_model;
    QLabel* m_serial;
    QLabel* m_hardware;
    GradientBar* m_bar;
    QLabel* m_statusBar;
    QPushButton* m_leave;
};

} // namespace lumo
