#pragma once
// The 候診區顯示 switch of this workstation. Kept in a small file of the data
// directory, one workstation name a line for each workstation that has it on,
// so that workstations sharing a data directory each keep their own choice
// and the choice outlasts a restart. Off by default.

#include "base/status.h"

#include <QObject>
#include <QString>

namespace lumo {

inline constexpr const char* WaitingRoomFileName = "LumoMasked.txt";

class WaitingRoomDisplay : public QObject
{
    Q_OBJECT
public:
    explicit WaitingRoomDisplay(QObject* parent = nullptr) : QObject(parent) {}

    bool on() const { return m_on; }
    // Reads the choice of `workstation` from the data directory's file.
    void load(const QString& dataDirectory, const QString& workstation);
    // Turns it on or off, writes the file, and tells the open screens. The
    // display changes even when the file cannot be written (the status says so).
    Status setOn(bool on);
    Status toggle() { return setOn(!m_on); }

signals:
    void changed(bool on);

private:
    bool m_on = false;
    QString m_dataDirectory;
    QString m_workstation;
};

// The file's names with `workstation` present or absent (compared without
// regard to case), blanks and duplicates dropped.
QStringList withWorkstation(const QStringList& names, const QString& workstation, bool on);

} // namespace lumo
