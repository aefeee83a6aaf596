#pragma once
// Qt's own texts (the buttons of standard dialogs, the file and print dialogs)
// in Traditional Chinese, from the translations Qt installs with the system.

class QCoreApplication;

namespace lumo {
// Loads qtbase_zh_TW into the application; false when the file is not installed
// (the dialogs then speak English, nothing else changes).
bool installQtTranslations(QCoreApplication& app);
} // namespace lumo
