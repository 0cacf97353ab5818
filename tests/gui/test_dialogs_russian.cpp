// Qt's own texts in the dialogs read in Russian once the program's
// translations are installed, and the file dialog's columns show whole.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeView>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/boxes.h"
#include "app/translations.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

std::string S(const QString& q) { return q.toStdString(); }

// Installed once for the whole run, as the program does at start.
const QString& Installed() {
  static const QString path = InstallQtTranslations(*qApp, QCoreApplication::applicationDirPath());
  return path;
}

std::vector<std::string> ButtonTexts(const QWidget& dialog) {
  std::vector<std::string> texts;
  for (const QAbstractButton* b : dialog.findChildren<QAbstractButton*>())
    if (!b->text().isEmpty()) texts.push_back(S(b->text()));
  return texts;
}

TEST(RussianDialogs, ShippedCopyIsLookedForBeforeQtsOwn) {
  const QStringList folders = TranslationFolders(QStringLiteral("/opt/tarvin9/bin"));
  ASSERT_EQ(folders.size(), 2);
  EXPECT_EQ(S(folders[0]), "/opt/tarvin9/share/tarvin9/translations");
  EXPECT_EQ(folders[1], QLibraryInfo::path(QLibraryInfo::TranslationsPath));

  // A copy beside the program wins over Qt's own.
  TempFolder root;
  const QString base = QString::fromStdString(root.Path().string());
  ASSERT_TRUE(QDir(base).mkpath(QStringLiteral("bin")));
  ASSERT_TRUE(QDir(base).mkpath(QStringLiteral("share/tarvin9/translations")));
  const QString qt_copy = QDir(folders[1]).filePath(QStringLiteral("qtbase_ru.qm"));
  ASSERT_TRUE(QFile::exists(qt_copy)) << "qt6-translations-l10n is not installed";
  const QString shipped = base + QStringLiteral("/share/tarvin9/translations/qtbase_ru.qm");
  ASSERT_TRUE(QFile::copy(qt_copy, shipped));
  const QStringList found = QtTranslationCandidates(base + QStringLiteral("/bin"));
  ASSERT_EQ(found.size(), 2);
  EXPECT_EQ(S(QDir::cleanPath(found[0])), S(QDir::cleanPath(shipped)));
  EXPECT_EQ(found[1], qt_copy);
  // Without the shipped copy only Qt's is found.
  EXPECT_EQ(QtTranslationCandidates(base + QStringLiteral("/elsewhere/bin")), QStringList{qt_copy});
}

TEST(RussianDialogs, ButtonsAndCaptionsOfEveryBoxReadInRussian) {
  ASSERT_FALSE(Installed().isEmpty());

  // Box: OK is the same word in Russian; the question box's own Да and Нет.
  const auto inform = MakeInformBox(Box{BoxIcon::Warning, "Внимание", "Не открылся СОМ-порт!"}, nullptr);
  EXPECT_EQ(ButtonTexts(*inform), std::vector<std::string>{"OK"});
  const auto question = MakeQuestionBox("Выход", "Завершить работу ?", nullptr);
  EXPECT_EQ(S(question->button(QMessageBox::Yes)->text()), "Да");
  EXPECT_EQ(S(question->button(QMessageBox::No)->text()), "Нет");
  EXPECT_EQ(question->defaultButton(), question->button(QMessageBox::Yes));

  // The save name: its buttons are made when it is first shown.
  const auto text =
      MakeTextDialog("Пожалуйста, назовите сохраняемый файл", "Укажите имя файла", "проба", nullptr);
  text->show();
  const std::vector<std::string> text_buttons = ButtonTexts(*text);
  EXPECT_NE(std::find(text_buttons.begin(), text_buttons.end(), "Отмена"), text_buttons.end());
  EXPECT_EQ(std::find(text_buttons.begin(), text_buttons.end(), "Cancel"), text_buttons.end());
  EXPECT_EQ(S(text->windowTitle()), "Пожалуйста, назовите сохраняемый файл");
  EXPECT_EQ(S(text->labelText()), "Укажите имя файла");
  EXPECT_EQ(S(text->textValue()), "проба");
  text->hide();

  // "Открыть": Qt's own dialog, whatever the desktop offers.
  const auto open = MakeOpenDialog("/", nullptr);
  EXPECT_TRUE(open->testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(S(open->windowTitle()), "Укажите имя открываемого файла");
  EXPECT_EQ(S(open->nameFilters().join(";")), "двоичные (*.bin)");
  const struct {
    const char* label;
    const char* english;
  } labels[] = {
      {"lookInLabel", "Look in:"}, {"fileNameLabel", "File &name:"}, {"fileTypeLabel", "Files of type:"}};
  for (const auto& l : labels) {
    const auto* label = open->findChild<QLabel*>(QString::fromLatin1(l.label));
    ASSERT_NE(label, nullptr) << l.label;
    EXPECT_NE(S(label->text()), l.english) << l.label;
    EXPECT_FALSE(label->text().contains(QRegularExpression(QStringLiteral("[A-Za-z]")))) << S(label->text());
  }
  const auto* box = open->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(S(box->button(QDialogButtonBox::Open)->text()), "&Открыть");
  EXPECT_EQ(S(box->button(QDialogButtonBox::Cancel)->text()), "Отмена");

  // The exports' dialog is Qt's own too, in Russian.
  const auto save =
      MakeSaveDialog("Экспорт в CSV", "/", "a.csv", {"CSV для Excel (*.csv)", "CSV (*.csv)"}, nullptr);
  EXPECT_TRUE(save->testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(S(save->defaultSuffix()), "csv");
  const auto* save_box = save->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  ASSERT_NE(save_box, nullptr);
  EXPECT_EQ(S(save_box->button(QDialogButtonBox::Save)->text()), "&Сохранить");
  EXPECT_EQ(S(save_box->button(QDialogButtonBox::Cancel)->text()), "Отмена");
}

TEST(RussianDialogs, FileDialogColumnsShowSizeAndDateWhole) {
  TempFolder dir;
  // An oscillogram of a few thousand samples: tens of KiB, under the automatic name.
  WriteBytes(dir.Folder() + "2026.12.07  23 час. 29 мин. .bin", std::vector<uint8_t>(19968, 0));
  WriteBytes(dir.Folder() + "2026.12.07  23 час. 29 мин. (2).bin", std::vector<uint8_t>(1023 * 1024, 0));
  const auto open = MakeOpenDialog(dir.Path().string(), nullptr);
  auto* view = open->findChild<QTreeView*>(QStringLiteral("treeView"));
  auto* model = open->findChild<QFileSystemModel*>();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(model, nullptr);
  // The folder is read on Qt's own thread; its end is signalled to this one.
  QEventLoop loaded;
  QObject::connect(model, &QFileSystemModel::directoryLoaded, &loaded, &QEventLoop::quit);
  open->show();
  loaded.exec();

  const QModelIndex root = view->rootIndex();
  ASSERT_EQ(model->rowCount(root), 2);
  const QFontMetrics fm(view->font());
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 4; ++column) {
      const QString shown = model->index(row, column, root).data().toString();
      ASSERT_FALSE(shown.isEmpty()) << row << "," << column;
      const int icon = column == 0 ? view->iconSize().width() + 4 : 0;
      EXPECT_GE(view->header()->sectionSize(column), fm.horizontalAdvance(shown) + icon + 8)
          << S(shown) << " in column " << column;
    }
  }
  // Every column fits in the dialog beside the places on its left, which show whole too.
  EXPECT_LE(view->header()->length(), view->viewport()->width() + 1);
  const auto* places = open->findChild<QWidget*>(QStringLiteral("sidebar"));
  ASSERT_NE(places, nullptr);
  EXPECT_GE(places->width(),
            QFontMetrics(places->font()).horizontalAdvance(QStringLiteral("Компьютер")) + 24);
  open->hide();
}

}  // namespace
}  // namespace tarvin::testing
