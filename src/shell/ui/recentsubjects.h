#pragma once
// The recent subjects one key away: the key of the shared table (Ctrl+R)
// opens the last subjects worked with, each behind a digit
// (1 the newest ... 0 the tenth) in a small list; the one chosen becomes
// CurrentSubject.

#include <functional>

class QWidget;

namespace lumo {

struct SharedState;

// Binds the key on the window; `chosen` runs after a subject was chosen.
void offerRecentSubjects(QWidget& window, SharedState& state, std::function<void()> chosen);

} // namespace lumo
