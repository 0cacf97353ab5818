// The folder a menu start gives the window: made once with Chart4pF/ and the
// pictures, an operator's own pictures kept, a failure reported.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/menu_start.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

TEST(MenuStart, FolderIsMadeOnceWithChartFolderAndPicturesAndKeepsTheOperatorsOwn) {
  testing::TempFolder home, data;
  const QString data_dir = Q(data.Path());
  Write(data_dir + "/ok.jpg", "package ok");
  Write(data_dir + "/no_con.jpeg", "package no_con");
  // smile.jpg is missing from the data folder: the built-in copy stands in.
  const QString folder = MenuFolder(Q(home.Path()));
  EXPECT_EQ(QFileInfo(folder).fileName(), QStringLiteral("Тарвин-9"));

  QString error;
  ASSERT_TRUE(PrepareWorkFolder(folder, data_dir, &error)) << error.toStdString();
  EXPECT_TRUE(QFileInfo(folder + "/Chart4pF").isDir());
  EXPECT_EQ(ReadAll(folder + "/ok.jpg"), "package ok");
  EXPECT_EQ(ReadAll(folder + "/no_con.jpeg"), "package no_con");
  EXPECT_FALSE(QFileInfo::exists(folder + "/smile.jpg"));
  EXPECT_TRUE(QFileInfo(folder + "/ok.jpg").isWritable());  // the operator may replace it

  // The next start: the operator's picture and files stay, a lost Chart4pF comes back.
  Write(folder + "/ok.jpg", "operator's ok");
  Write(folder + "/Chart4pF/saved.bin", "oscillogram");
  ASSERT_TRUE(PrepareWorkFolder(folder, data_dir, &error));
  EXPECT_EQ(ReadAll(folder + "/ok.jpg"), "operator's ok");
  EXPECT_EQ(ReadAll(folder + "/Chart4pF/saved.bin"), "oscillogram");
  ASSERT_TRUE(QDir(folder + "/Chart4pF").removeRecursively());
  ASSERT_TRUE(PrepareWorkFolder(folder, data_dir, &error));
  EXPECT_TRUE(QFileInfo(folder + "/Chart4pF").isDir());
}

TEST(MenuStart, FolderThatCannotBeMadeIsReported) {
  testing::TempFolder home;
  const QString blocker = Q(home.Path()) + "/file";
  Write(blocker, "not a folder");
  QString error;
  EXPECT_FALSE(PrepareWorkFolder(MenuFolder(blocker), Q(home.Path()), &error));
  EXPECT_TRUE(error.startsWith(QStringLiteral("Не удалось создать папку "))) << error.toStdString();
}

TEST(MenuStart, DataFolderSitsBesideTheProgramsFolder) {
  EXPECT_EQ(InstalledDataDir(QStringLiteral("/usr/bin")), QStringLiteral("/usr/share/tarvin9"));
  EXPECT_EQ(InstalledDataDir(QStringLiteral("/opt/t9/bin/")), QStringLiteral("/opt/t9/share/tarvin9"));
}

TEST(MenuStart, HelpNamesTheMenuOptionAndTheVersion) {
  const QString help = HelpText(QStringLiteral("tarvin9"), QStringLiteral("1.2.3"));
  EXPECT_TRUE(help.startsWith(QStringLiteral("Использование: tarvin9 [--from-menu]\n")));
  EXPECT_TRUE(help.contains(QStringLiteral("1.2.3")));
  EXPECT_TRUE(help.contains(QStringLiteral("--from-menu  работать в папке ~/Тарвин-9")));
}

}  // namespace
}  // namespace tarvin
