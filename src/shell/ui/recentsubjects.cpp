#include "shell/ui/recentsubjects.h"

#include "records/subjects.h"
#include "shell/recentsubjects.h"
#include "shell/sharedstate.h"
#include "shell/shortcuts.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

void showRecent(QWidget& window, SharedState& state, const std::function<void()>& chosen)
{
    QMenu menu(&window);
    menu.setObjectName(QStringLiteral("RecentSubjects"));
    menu.setTitle(u("最近的受測者"));
    int n = 0;
    if (state.MainDatabase)
        for (const QString& number : readRecentSubjects(state.DataDirectory)) {
            const std::optional<SubjectRow> row = SubjectStore(*state.MainDatabase).findByCustNo(number);
            if (!row) continue; // deleted since
            ++n;
            // "&1" .. "&9", "1&0": the digit is the key.
            const QString digit = n < 10 ? QStringLiteral("&%1").arg(n) : QStringLiteral("1&0");
            QAction* a = menu.addAction(QStringLiteral("%1   %2   %3").arg(digit, row->CUSTNO, row->NAME));
            QObject::connect(a, &QAction::triggered, &window, [&state, r = *row, &chosen] {
                if (state.CurrentSubject.CUSTNO.compare(r.CUSTNO, Qt::CaseInsensitive) != 0)
                    state.CurrentMeasurementKey = 0; // the measurement shown is not that subject's
                state.CurrentSubject = r;
                noteRecentSubject(state.DataDirectory, r.CUSTNO);
                chosen();
            });
        }
    if (n == 0) menu.addAction(u("（尚無最近的受測者）"))->setEnabled(false);
    menu.exec(window.mapToGlobal(QPoint(window.width() / 3, window.height() / 4)));
}

} // namespace

void offerRecentSubjects(QWidget& window, SharedState& state, std::function<void()> chosen)
{
    auto* a = new QAction(u("最近的受測者"), &window);
    a->setObjectName(QStringLiteral("RecentSubjectsAction"));
    a->setShortcut(shortcutFor(CommonAction::Recent).key);
    a->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(a, &QAction::triggered, &window,
                     [&window, &state, chosen = std::move(chosen)] { showRecent(window, state, chosen); });
    window.addAction(a);
}

} // namespace lumo
