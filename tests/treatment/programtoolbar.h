#pragma once
// Reading the treatment program screen's tool bar, for the screen tests.

#include "treatment/ui/tzuprof.h"

#include <QAction>
#include <QtGlobal>

namespace lumo::test {

inline QString u(const char* s)
{
    return QString::fromUtf8(s);
}

inline QAction* act(TZuProf& s, const char* caption)
{
    QAction* a = s.action(u(caption));
    if (!a) qFatal("no action %s", caption);
    return a;
}

// The nine toolbar buttons as 1/0, in toolbar order.
inline QString enabledButtons(TZuProf& s)
{
    QString out;
    for (const char* c : {"新增療程", "修改療程", "刪除療程", "新增條件", "修改條件", "刪除條件", "確認異動",
                          "放  棄", "離  開"})
        out += act(s, c)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return out;
}

} // namespace lumo::test
