#pragma once
// What every screen does for the keyboard, applied in one place when the
// screen opens (execModal) so that no screen can forget it:
// - the tool bar's buttons join the Tab chain, and Enter or Space presses the
//   focused button (a tool button or a push button);
// - the actions that several screens share get their key from one table
//   (shell/shortcuts.h), shown in their tool tips;
// - Enter elsewhere presses only the button the screen made its default: no
//   other push button becomes a default by having been focused, so Enter can
//   never reach a delete or leave button by accident.

class QToolBar;
class QWidget;

namespace lumo {

void prepareKeyboard(QWidget& window);

// The tool bar's buttons come after `last` in the Tab chain: on a screen
// whose buttons act on what is chosen in its lists, Tab goes from the choice
// to the buttons without passing a list that would choose again.
void toolBarAfter(QWidget* last, QToolBar* bar);

} // namespace lumo
