#pragma once
// Real key and mouse events for screen tests: each key goes to the widget that
// has the focus at that moment, as the keyboard would send it, so a cell editor
// that opens on the first key receives the next ones.

#include <QAbstractItemView>
#include <QApplication>
#include <QtTest>

namespace lumo::test {

inline void typeKeys(const QString& text)
{
    for (QChar c : text) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY2(target, "no widget has the focus");
        QTest::keyClick(target, c.toLatin1());
    }
}

inline void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    QVERIFY2(target, "no widget has the focus");
    QTest::keyClick(target, key, modifiers);
}

inline void clickCell(QAbstractItemView* view, int row, int column)
{
    const QRect r = view->visualRect(view->model()->index(row, column));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
}

// Shows the window and waits until it is the active one, so that the focus is real.
inline bool showActive(QWidget& w)
{
    w.show();
    QApplication::setActiveWindow(&w);
    return QTest::qWaitForWindowActive(&w);
}

} // namespace lumo::test
