#pragma once
// The screen lock's idle time as the practice sets it on the user settings
// screen. Kept in a small file of its own in the data directory (one number of
// minutes): the fixed-layout settings file is read by earlier programs too and
// keeps its shape. Applied to the running lock as soon as it is saved.

#include "base/status.h"
#include "practice/idlelock.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace lumo {

inline constexpr const char* IdleTimeFileName = "LumoIdleLock.txt";

// The minutes a file's content names: the first line's number, held to
// 1..120; the default when there is no number (missing, empty or foreign file).
int idleMinutesOf(const QByteArray& content);

class IdleTimeSetting : public QObject
{
    Q_OBJECT
public:
    explicit IdleTimeSetting(QObject* parent = nullptr) : QObject(parent) {}

    int minutes() const { return m_minutes; }
    // Reads the data directory's file (the default when it has none).
    void load(const QString& dataDirectory);
    // Held to 1..120 and written first; only a written value is applied and
    // told to the lock, so a refused file leaves the running time as it was.
    Status setMinutes(int minutes);

signals:
    void changed(int minutes);

private:
    int m_minutes = IdleLockDefaultMinutes;
    QString m_dataDirectory;
};

} // namespace lumo
