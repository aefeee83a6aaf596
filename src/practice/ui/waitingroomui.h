#pragma once
// 候診區顯示 on the main window: the choice of this workstation read at
// start, its key heard in every window, a ticked entry under 系統支援 and a
// mark in the status bar while the mask is on.

class QAction;
class QMainWindow;
class QMenu;

namespace lumo {

struct SharedState;

// Call after the data directory is known. The entry goes in above `before`
// (at the menu's end without one).
void attachWaitingRoom(QMainWindow& window, QMenu& support, QAction* before, SharedState& state);

} // namespace lumo
