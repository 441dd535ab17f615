#pragma once

// Qt's own texts in Chinese: the inputs' context menus, the calendar's navigation, file dialogs
// and standard buttons come from Qt's translation catalogues, not from the program's texts.

class QCoreApplication;

namespace ui {

// Installs Qt's Chinese catalogue (qtbase_zh_CN from Qt's translations directory) on `app`,
// which owns it from then on. Returns false and leaves Qt's texts in English when the
// catalogue is missing or unreadable.
bool installQtTranslations(QCoreApplication& app);

}  // namespace ui
