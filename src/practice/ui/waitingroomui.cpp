#include "practice/ui/waitingroomui.h"

#include "practice/waitingroomkey.h"
#include "shell/sharedstate.h"
#include "shell/shortcuts.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QSysInfo>

namespace lumo {

void attachWaitingRoom(QMainWindow& window, QMenu& support, QAction* before, SharedState& state)
{
    const QString workstation =
        state.Session.workstation.isEmpty() ? QSysInfo::machineHostName() : state.Session.workstation;
    state.waitingRoom.load(state.DataDirectory, workstation);

    auto* filter = new WaitingRoomKeyFilter(state.waitingRoom, &window);
    filter->onError = [&state](const QString& error) { state.reportError(error); };
    qApp->installEventFilter(filter);

    const QString hint = QString::fromUtf8("遮蔽姓名、編號、電話與生日，以免候診區的人看到");
    auto* toggle = new QAction(QString::fromUtf8("候診區顯示"), &support);
    support.insertAction(before, toggle);
    toggle->setObjectName(QStringLiteral("WaitingRoomToggle"));
    toggle->setCheckable(true);
    toggle->setChecked(state.waitingRoom.on());
    toggle->setStatusTip(hint);
    toggle->setToolTip(hintWithKey(hint, WaitingRoomKey));
    // The key shows beside the entry; the filter, not the entry, acts on it in every window.
    toggle->setShortcut(WaitingRoomKey);
    toggle->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(toggle, &QAction::triggered, &window, [&state](bool on) {
        const Status st = state.waitingRoom.setOn(on);
        if (!st) state.reportError(st.error);
    });

    auto* mark = new QLabel(QString::fromUtf8("候診區顯示"), &window);
    mark->setObjectName(QStringLiteral("WaitingRoomMark"));
    mark->setToolTip(hintWithKey(hint, WaitingRoomKey));
    mark->setStyleSheet(QStringLiteral("color: rgb(255,255,255); background: rgb(0,96,0); padding: 0 6px;"));
    mark->setVisible(state.waitingRoom.on());
    window.statusBar()->addPermanentWidget(mark);
    QObject::connect(&state.waitingRoom, &WaitingRoomDisplay::changed, &window, [toggle, mark](bool on) {
        toggle->setChecked(on);
        mark->setVisible(on);
    });
}

} // namespace lumo
