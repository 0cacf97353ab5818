// The program: the application titled "Тарвин-9" and its one window.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/fmain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(tarvin::kAppTitle));
  try {
    tarvin::TFmain window;
    window.show();
    app.exec();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QString::fromUtf8(tarvin::kAppTitle), QString::fromUtf8(e.what()));
  }
  return 0;
}
