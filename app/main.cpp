// The program: the application titled "Тарвин-9" and its one window.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/fmain.h"
#include "app/menu_start.h"

namespace {

bool HasArgument(int argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before any window system is needed, so they work without a display.
  if (HasArgument(argc, argv, "--help")) {
    std::fputs(tarvin::HelpText(QStringLiteral("tarvin9"), QStringLiteral(TARVIN_VERSION)).toUtf8().constData(),
               stdout);
    return 0;
  }
  if (HasArgument(argc, argv, "--version")) {
    std::printf("tarvin9 %s\n", TARVIN_VERSION);
    return 0;
  }
  const bool from_menu = HasArgument(argc, argv, "--from-menu");

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(tarvin::kAppTitle));
  if (from_menu) {
    // The window takes the folder it starts in as its own: change to it first.
    const QString folder = tarvin::MenuFolder(QDir::homePath());
    QString error;
    if (!tarvin::PrepareWorkFolder(folder, tarvin::InstalledDataDir(QApplication::applicationDirPath()), &error) ||
        !QDir::setCurrent(folder)) {
      QMessageBox::critical(nullptr, QString::fromUtf8(tarvin::kAppTitle),
                            error.isEmpty() ? QStringLiteral("Не удалось перейти в папку %1").arg(folder) : error);
      return 1;
    }
  }
  try {
    tarvin::TFmain window;
    window.show();
    app.exec();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QString::fromUtf8(tarvin::kAppTitle), QString::fromUtf8(e.what()));
  }
  return 0;
}
