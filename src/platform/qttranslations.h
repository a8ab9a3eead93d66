#pragma once

class QCoreApplication;
class QTranslator;

namespace QtTranslations {

// Loads Qt's own German texts (file dialogs, standard buttons, print dialog) from the
// installed "qtbase_de.qm" whatever the desktop's language: the program speaks German
// everywhere. Returns the installed translator, owned by app, or nullptr when the file
// is missing (Qt's dialogs then stay English; the program works all the same).
QTranslator *install(QCoreApplication &app);

} // namespace QtTranslations
