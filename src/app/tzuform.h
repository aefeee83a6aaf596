#pragma once
// The main window: prepares the data directory and databases, loads the
// configuration and opens every function as a modal screen.

#include "app/modules.h"
#include "shell/sharedstate.h"
#include "shell/ui/launcher.h"

#include <QDate>
#include <QMainWindow>
#include <QStyle>
#include <QVector>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace lumo {

// The product and its version as the main window and the about box name them.
inline constexpr const char* kProductTitle = "L.U.M.O. 經絡能量分析系統";
inline constexpr const char* kVersionLabel = "Quenta LUMO Version: 5";

// What the main window needs of the instrument; the instrument link provides it.
struct ShellInstrumentHooks
{
    std::function<void()> attach; // creation steps 1-2
    std::function<bool(QWidget* parent)>
        startupCheck;                         // first activation: the status window, returns InstrumentReady
    std::function<void()> sendIdle;           // "X000000" on closing
    std::function<void(int)> playTone;        // alert tones before questions
    std::function<QString()> hardwareVersion; // string descriptor 3
    std::function<qint64()> usageCounter;     // read without changing it
};

class TZuForm : public QMainWindow
{
    Q_OBJECT
public:
    TZuForm(SharedState& state, ModuleTable modules, ShellInstrumentHooks hooks, const QString& deliveredDir,
            QWidget* parent = nullptr);

    void SetModuleButtonsEnabled(bool flag);
    // Opens a module modally with the buttons disabled.
    void openModule(Module m);
    void applyCustomButtons();
    void showAbout();

    // Actions by their button caption; for tests and the menus.
    QAction* toolAction(const QString& caption) const;
    QVector<QAction*> moduleButtons() const { return m_moduleButtons; }
    QMenuBar* menus() const { return menuBar(); }
    bool creationFailed() const { return m_closeRequested; }
    // The day the copy made on closing is named after (tests give their own).
    void setToday(std::function<QDate()> today) { m_today = std::move(today); }
    // Where the custom buttons' programs are looked for; tests give their own.
    void setLauncher(const LauncherPlatform& platform) { m_launcher = platform; }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;

private:
    void buildToolBar();
    QIcon toolIcon(QStyle::StandardPixmap which) const;
    void buildMenus();
    void buildFooter();
    void create(const QString& deliveredDir);
    void firstActivation();
    void applySession();
    void requestClose();
    void runCustomButton(int n);
    void backUpOnClosing();

    SharedState& m_state;
    ModuleTable m_modules;
    ShellInstrumentHooks m_hooks;
    QToolBar* m_toolBar = nullptr;
    QVector<QAction*> m_moduleButtons; // the fourteen that SetModuleButtonsEnabled switches
    QAction* m_custom[6] = {};
    QVector<QAction*> m_hiddenMenus;
    QMenu* m_support = nullptr;
    QAction* m_waitingRoomBefore = nullptr; // 候診區顯示 goes in above this entry
    QAction* m_auditEntry = nullptr;        // 稽核紀錄, shown in practice mode only
    QAction* m_backupEntry = nullptr;       // 資料備份
    QAction* m_exit = nullptr;              // 離開系統, on the tool bar and under 系統支援
    class OperatorStatus* m_operator = nullptr;
    QLabel* m_statusText = nullptr;
    bool m_activated = false;
    bool m_closeRequested = false;
    bool m_closing = false;
    bool m_backedUp = false;
    std::function<QDate()> m_today = [] { return QDate::currentDate(); };
    LauncherPlatform m_launcher = LauncherPlatform::system();
};

} // namespace lumo
