#pragma once
// The 候診區顯示 key, heard in every window of the program: the screens are
// modal dialogs over the main window, where a window's own shortcut would
// not reach, and the practitioner turns the mask on when someone walks in,
// whatever screen is open.

#include "shell/shortcuts.h"

#include <QKeySequence>
#include <QObject>
#include <functional>

namespace lumo {

class WaitingRoomDisplay;

inline const QKeySequence WaitingRoomKey = shortcutFor(CommonAction::WaitingRoom).key;

class WaitingRoomKeyFilter : public QObject
{
public:
    WaitingRoomKeyFilter(WaitingRoomDisplay& display, QObject* parent = nullptr)
        : QObject(parent), m_display(display)
    {
    }
    // Reports a choice that could not be remembered (the data directory refused the file).
    std::function<void(const QString&)> onError;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WaitingRoomDisplay& m_display;
};

} // namespace lumo
