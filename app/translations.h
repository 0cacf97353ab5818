// Qt's own texts (the buttons of message boxes, the file dialog) in Russian,
// whatever the system's locale: the program's own texts are Russian, and a
// dialog half in English confuses an operator.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace tarvin {

// The file the translations come from, without its ".qm".
inline constexpr const char* kQtTranslation = "qtbase_ru";

// Where the translations are looked for, first to last: the copy shipped with
// the program (<exe_dir>/../share/tarvin9/translations), then Qt's own folder.
QStringList TranslationFolders(const QString& exe_dir);

// The translation files found, in the order of TranslationFolders.
QStringList QtTranslationCandidates(const QString& exe_dir);

// Loads qtbase_ru from the first folder that has it and installs it into
// `app` (the translator is owned by `app`). The file's path, or empty when
// none was found: Qt's texts then stay English.
QString InstallQtTranslations(QCoreApplication& app, const QString& exe_dir);

}  // namespace tarvin
