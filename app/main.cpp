// The program: the application titled "Тарвин-9" and its one window.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop_platform.h"
#include "app/fmain.h"
#include "app/menu_start.h"
#include "app/translations.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#endif

namespace {

#ifndef _WIN32
// SIGTERM and SIGHUP (the session ends, or `kill`) reach the window through a
// socket pair, outside the signal handler, so it lets the port go and closes.
int g_signal_socket[2] = {-1, -1};

void OnEndSignal(int) {
  const char byte = 1;
  (void)!::write(g_signal_socket[1], &byte, 1);
}

void EndSessionOnSignals(tarvin::TFmain* window, QObject* parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_socket) != 0) return;
  auto* notifier = new QSocketNotifier(g_signal_socket[0], QSocketNotifier::Read, parent);
  QObject::connect(notifier, &QSocketNotifier::activated, parent, [window] {
    char byte = 0;
    (void)!::read(g_signal_socket[0], &byte, 1);
    window->EndSession();
    QApplication::exit(0);  // also ends a box's own loop, should one be open
  });
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}
#endif

// The window's own options: --help, --version and --from-menu. Qt takes its
// own (-platform offscreen, -style fusion ...) out of argv as the application
// is made, so a word neither knows is let through before that and refused
// after it. Returns an exit code when the program must end now.
std::optional<int> ParseArguments(int argc, char** argv, bool qt_took_its_own, bool* from_menu) {
  CLI::App cli("", "tarvin9");
  cli.set_help_flag();  // the help is HelpText's own, in Russian
  bool help = false;
  bool version = false;
  cli.add_flag("--help", help);
  cli.add_flag("--version", version);
  cli.add_flag("--from-menu", *from_menu);
  cli.allow_extras();
  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "tarvin9: %s (see --help)\n", e.what());
    return 2;
  }
  if (help) {
    std::fputs(
        tarvin::HelpText(QStringLiteral("tarvin9"), QStringLiteral(TARVIN_VERSION)).toUtf8().constData(),
        stdout);
    return 0;
  }
  if (version) {
    std::printf("tarvin9 %s\n", TARVIN_VERSION);
    return 0;
  }
  const std::vector<std::string> unknown = cli.remaining();
  if (qt_took_its_own && !unknown.empty()) {
    const std::string& first = unknown.front();
    std::fprintf(stderr, "tarvin9: %s: %s (see --help)\n", first.c_str(),
                 first.rfind('-', 0) == 0 ? "no such option" : "unexpected word: options begin with --");
    return 2;
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  bool from_menu = false;
  // --help and --version are answered before any window system is needed, so
  // they work without a display.
  if (const auto code = ParseArguments(argc, argv, false, &from_menu)) return *code;
  QApplication app(argc, argv);
  if (const auto code = ParseArguments(argc, argv, true, &from_menu)) return *code;
  tarvin::MarkWindowRunning();
  QApplication::setApplicationName(QString::fromUtf8(tarvin::kAppTitle));
  tarvin::InstallQtTranslations(app, QCoreApplication::applicationDirPath());
  if (from_menu) {
    // The window takes the folder it starts in as its own: change to it first.
    const QString folder = tarvin::MenuFolder(tarvin::MenuHome());
    QString error;
    if (!tarvin::PrepareWorkFolder(folder, tarvin::InstalledDataDir(QApplication::applicationDirPath()),
                                   &error) ||
        !QDir::setCurrent(folder)) {
      QMessageBox::critical(
          nullptr, QString::fromUtf8(tarvin::kAppTitle),
          error.isEmpty() ? QStringLiteral("Не удалось перейти в папку %1").arg(folder) : error);
      return 1;
    }
  }
  try {
    tarvin::TFmain window;
#ifndef _WIN32
    EndSessionOnSignals(&window, &app);
#endif
    window.show();
    app.exec();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QString::fromUtf8(tarvin::kAppTitle), QString::fromUtf8(e.what()));
  }
  return 0;
}
