#include "app/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace tarvin {

QStringList TranslationFolders(const QString& exe_dir) {
  return {QDir::cleanPath(exe_dir + QStringLiteral("/../share/tarvin9/translations")),
          QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

QStringList QtTranslationCandidates(const QString& exe_dir) {
  const QString file = QString::fromLatin1(kQtTranslation) + QStringLiteral(".qm");
  QStringList found;
  for (const QString& folder : TranslationFolders(exe_dir)) {
    const QString path = QDir(folder).filePath(file);
    if (QFileInfo::exists(path)) found << path;
  }
  return found;
}

QString InstallQtTranslations(QCoreApplication& app, const QString& exe_dir) {
  for (const QString& path : QtTranslationCandidates(exe_dir)) {
    auto* translator = new QTranslator(&app);
    if (translator->load(path) && QCoreApplication::installTranslator(translator)) return path;
    delete translator;  // a broken copy: try the next folder
  }
  return QString();
}

}  // namespace tarvin
