#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTreeView>
#include <algorithm>

#include "app/boxes.h"
#include "app/qt_text.h"

namespace tarvin {

namespace {

QMessageBox::Icon ToQt(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Warning:
      return QMessageBox::Warning;
    case BoxIcon::Error:
      return QMessageBox::Critical;
    case BoxIcon::Question:
      return QMessageBox::Question;
    case BoxIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

// The file dialog's detail columns: name, size, type, date modified.
enum OpenColumn { kNameColumn, kSizeColumn, kTypeColumn, kDateColumn };

// The widest of `samples` in the view's font, with the cell's margins.
int WidestText(const QTreeView& view, const QStringList& samples) {
  const QFontMetrics fm(view.font());
  int widest = 0;
  for (const QString& s : samples) widest = std::max(widest, fm.horizontalAdvance(s));
  return widest + fm.horizontalAdvance(QStringLiteral("MMM"));
}

// Qt sizes these columns for "128.88 GB" and "10/29/81 02:02PM", which the
// texts of many locales overflow. Sized here for the texts the dialog shows,
// in the same locale; wider columns the operator has left are kept.
int FitOpenColumns(QFileDialog& dialog) {
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (view == nullptr) return 0;
  const QLocale locale = QLocale::system();
  QStringList sizes, dates;
  for (const qint64 bytes : {qint64(1023) * 1024 + 1000, qint64(999) * 1024 * 1024 + 1000})
    sizes << locale.formattedDataSize(bytes);
  for (int month = 1; month <= 12; ++month)
    dates << locale.toString(QDateTime(QDate(2026, month, 28), QTime(23, 58, 58)), QLocale::ShortFormat);
  const QStringList names = {QStringLiteral("2026.12.07  23 час. 59 мин.  (12).bin")};
  QHeaderView* header = view->header();
  const int wanted[] = {WidestText(*view, names) + view->iconSize().width(), WidestText(*view, sizes),
                        WidestText(*view, {QStringLiteral("bin File"), dialog.tr("File")}) + 40,
                        WidestText(*view, dates)};
  int total = 0;
  for (int column = kNameColumn; column <= kDateColumn; ++column) {
    const int size = std::max({header->sectionSize(column), header->sectionSizeHint(column), wanted[column]});
    header->resizeSection(column, size);
    total += size;
  }
  return total;
}

// Qt's file dialog in the detail view, wide enough for its columns and places.
void FitFileDialog(QFileDialog& dialog) {
  dialog.setViewMode(QFileDialog::Detail);
  const int columns = FitOpenColumns(dialog);
  // The places on the left ("Компьютер", the home folder) whole too.
  const QFontMetrics fm(dialog.font());
  const int places = fm.horizontalAdvance(QStringLiteral("Компьютер")) + 48;
  if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter")))
    splitter->setSizes({places, columns});
  dialog.resize(std::max(dialog.width(), places + columns + 60), std::max(dialog.height(), 520));
}

}  // namespace

std::unique_ptr<QMessageBox> MakeInformBox(const Box& box, QWidget* parent) {
  auto mb =
      std::make_unique<QMessageBox>(ToQt(box.icon), Q(box.caption), Q(box.text), QMessageBox::Ok, parent);
  mb->setObjectName("InformBox");
  return mb;
}

std::unique_ptr<QMessageBox> MakeQuestionBox(const std::string& caption, const std::string& text,
                                             QWidget* parent) {
  auto mb = std::make_unique<QMessageBox>(QMessageBox::Question, Q(caption), Q(text),
                                          QMessageBox::Yes | QMessageBox::No, parent);
  mb->setObjectName("QuestionBox");
  // The program speaks Russian even where Qt's translations are missing.
  mb->button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
  mb->button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  mb->setDefaultButton(QMessageBox::Yes);
  return mb;
}

std::unique_ptr<QInputDialog> MakeTextDialog(const std::string& caption, const std::string& prompt,
                                             const std::string& initial, QWidget* parent) {
  auto dialog = std::make_unique<QInputDialog>(parent);
  dialog->setObjectName("TextDialog");
  dialog->setWindowTitle(Q(caption));
  dialog->setInputMode(QInputDialog::TextInput);
  dialog->setLabelText(Q(prompt));
  dialog->setTextValue(Q(initial));
  return dialog;
}

std::unique_ptr<QInputDialog> MakeNumberDialog(const std::string& caption, const std::string& prompt,
                                               int initial, int min, int max, QWidget* parent) {
  auto dialog = std::make_unique<QInputDialog>(parent);
  dialog->setObjectName("NumberDialog");
  dialog->setWindowTitle(Q(caption));
  dialog->setInputMode(QInputDialog::IntInput);
  dialog->setLabelText(Q(prompt));
  dialog->setIntRange(min, max);
  dialog->setIntStep(1);
  dialog->setIntValue(initial);
  return dialog;
}

std::unique_ptr<QFileDialog> MakeOpenDialog(const std::string& dir, QWidget* parent) {
  auto dialog = std::make_unique<QFileDialog>(parent, QStringLiteral("Укажите имя открываемого файла"),
                                              Q(dir), QStringLiteral("двоичные (*.bin)"));
  dialog->setObjectName("OpenDialog");
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setViewMode(QFileDialog::Detail);
  const int columns = FitOpenColumns(*dialog);
  // The places on the left ("Компьютер", the home folder) whole too.
  const QFontMetrics fm(dialog->font());
  const int places = fm.horizontalAdvance(QStringLiteral("Компьютер")) + 48;
  if (auto* splitter = dialog->findChild<QSplitter*>(QStringLiteral("splitter")))
    splitter->setSizes({places, columns});
  dialog->resize(std::max(dialog->width(), places + columns + 60), std::max(dialog->height(), 520));
  return dialog;
}

void QtBoxes::Inform(const Box& box) { MakeInformBox(box, parent_)->exec(); }

bool QtBoxes::AskYesNo(const std::string& caption, const std::string& text) {
  return MakeQuestionBox(caption, text, parent_)->exec() == QMessageBox::Yes;
}

std::optional<std::string> QtBoxes::AskText(const std::string& caption, const std::string& prompt,
                                            const std::string& initial) {
  const std::unique_ptr<QInputDialog> dialog = MakeTextDialog(caption, prompt, initial, parent_);
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  return dialog->textValue().toStdString();
}

std::optional<int> QtBoxes::AskNumber(const std::string& caption, const std::string& prompt, int initial,
                                      int min, int max) {
  const std::unique_ptr<QInputDialog> dialog = MakeNumberDialog(caption, prompt, initial, min, max, parent_);
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  return dialog->intValue();
}

std::optional<std::string> QtBoxes::AskOpenFile(const std::string& dir) {
  const std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(dir, parent_);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return dialog->selectedFiles().constFirst().toStdString();
}

std::unique_ptr<QFileDialog> MakeSaveDialog(const std::string& caption, const std::string& dir,
                                            const std::string& name, const std::vector<std::string>& filters,
                                            QWidget* parent) {
  QStringList kinds;
  for (const std::string& f : filters) kinds << Q(f);
  auto dialog = std::make_unique<QFileDialog>(parent, Q(caption), QDir(Q(dir)).filePath(Q(name)));
  dialog->setObjectName("SaveFileDialog");
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilters(kinds);
  // "CSV (*.csv)" gives "csv": added to a name typed without a suffix.
  const auto suffix_of = [](const QString& filter) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    return m.hasMatch() ? m.captured(1) : QString();
  };
  if (!kinds.isEmpty()) dialog->setDefaultSuffix(suffix_of(kinds.front()));
  QFileDialog* d = dialog.get();
  QObject::connect(d, &QFileDialog::filterSelected, d,
                   [d, suffix_of](const QString& filter) { d->setDefaultSuffix(suffix_of(filter)); });
  FitFileDialog(*d);
  return dialog;
}

std::optional<SavePick> QtBoxes::AskSaveFile(const std::string& caption, const std::string& dir,
                                             const std::string& name,
                                             const std::vector<std::string>& filters) {
  const std::unique_ptr<QFileDialog> dialog = MakeSaveDialog(caption, dir, name, filters, parent_);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  SavePick pick;
  pick.path = dialog->selectedFiles().front().toStdString();
  pick.filter = std::max(0, static_cast<int>(dialog->nameFilters().indexOf(dialog->selectedNameFilter())));
  return pick;
}

}  // namespace tarvin
