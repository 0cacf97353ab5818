#include "app/menu_start.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tarvin {

QString MenuFolder(const QString& home) { return QDir(home).filePath(QStringLiteral("Тарвин-9")); }

bool PrepareWorkFolder(const QString& folder, const QString& data_dir, QString* error) {
  QDir dir(folder);
  if (!dir.mkpath(QStringLiteral("Chart4pF"))) {
    *error = QStringLiteral("Не удалось создать папку %1").arg(dir.filePath(QStringLiteral("Chart4pF")));
    return false;
  }
  for (const char* name : {"ok.jpg", "no_con.jpeg", "smile.jpg"}) {
    const QString target = dir.filePath(QString::fromLatin1(name));
    const QString source = QDir(data_dir).filePath(QString::fromLatin1(name));
    if (QFileInfo::exists(target) || !QFileInfo::exists(source)) continue;
    // A copy keeps the package's read-only mode; the operator may replace it.
    if (QFile::copy(source, target))
      QFile::setPermissions(target,
                            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  }
  return true;
}

QString InstalledDataDir(const QString& program_dir) {
  return QDir::cleanPath(QDir(program_dir).filePath(QStringLiteral("../share/tarvin9")));
}

QString HelpText(const QString& program, const QString& version) {
  return QStringLiteral(
             "Использование: %1 [--from-menu]\n\n"
             "Программа пользователя датчика \"Тарвин-9\" %2: связь с датчиком по СОМ-порту,\n"
             "осциллограммы сигналов, настройки датчика и диагностика канала связи.\n"
             "\n"
             "Программа работает в папке, из которой запущена: осциллограммы сохраняются\n"
             "в её подпапку Chart4pF, рисунки состояния (ok.jpg, no_con.jpeg) берутся из неё.\n"
             "Порт n из списка - это файл COMn в этой папке (ссылка на адаптер), если он\n"
             "есть, иначе /dev/ttyS(n-1).\n"
             "\n"
             "Параметры:\n"
             "  --from-menu  работать в папке ~/Тарвин-9 (так программу запускает меню);\n"
             "               папка, Chart4pF и рисунки создаются при первом запуске\n"
             "  --help       показать эту справку и выйти\n"
             "  --version    показать версию и выйти\n")
      .arg(program, version);
}

}  // namespace tarvin
