#pragma once
// Answers a modal window that the code under test opens by itself (a print
// preview, a question of Qt's own): waits until one of type T shows, then
// hands it over. The test goes on to the call that opens it.

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace lumo::test {

template <typename T> void whenShown(std::function<void(T&)> act, int timeoutMs = 20000)
{
    auto* timer = new QTimer(qApp);
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* shown = qobject_cast<T*>(w); shown && shown->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(*shown);
                return;
            }
        if (deadline.hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
}

} // namespace lumo::test
