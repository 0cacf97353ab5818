// The window's own folder when it is started from the desktop menu. The program
// keeps its oscillograms and pictures below the folder it starts in; a menu
// starts it in the home folder (or anywhere), so it gets a folder of its own.
#pragma once

#include <QString>

namespace tarvin {

// "Тарвин-9" below `home`.
QString MenuFolder(const QString& home);

// Makes `folder` with Chart4pF/ inside and copies the status pictures from
// `data_dir` (the package's data folder) that are not there yet: an operator's
// own pictures are kept. Missing pictures in `data_dir` are no failure, the
// program has its built-in copies. False, with the reason, when the folder
// cannot be made.
bool PrepareWorkFolder(const QString& folder, const QString& data_dir, QString* error);

// Where the package keeps the pictures: ../share/tarvin9 beside the program's folder.
QString InstalledDataDir(const QString& program_dir);

// The text of --help.
QString HelpText(const QString& program, const QString& version);

}  // namespace tarvin
