// Qt's own words in Korean: the file dialogs, the standard buttons and the text fields' context menus speak
// the language of the rest of the window, whatever the user's locale is.
#pragma once

class QCoreApplication;

namespace QuilmPrint::Translations {

// Loads Qt's Korean catalogue from the Qt installation's translations folder into the application, once.
// False when the catalogue is not installed: Qt's words then stay English.
bool installQtKorean(QCoreApplication& application);

} // namespace QuilmPrint::Translations
