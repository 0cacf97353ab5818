#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

#include "app/boxes.h"

namespace tarvin {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QMessageBox::Icon ToQt(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Warning: return QMessageBox::Warning;
    case BoxIcon::Error: return QMessageBox::Critical;
    case BoxIcon::Question: return QMessageBox::Question;
    case BoxIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void QtBoxes::Inform(const Box& box) {
  QMessageBox mb(ToQt(box.icon), Q(box.caption), Q(box.text), QMessageBox::Ok, parent_);
  mb.setObjectName("InformBox");
  mb.exec();
}

bool QtBoxes::AskYesNo(const std::string& caption, const std::string& text) {
  QMessageBox mb(QMessageBox::Question, Q(caption), Q(text), QMessageBox::Yes | QMessageBox::No, parent_);
  // The program speaks Russian whatever translations the system has.
  mb.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
  mb.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  mb.setDefaultButton(QMessageBox::Yes);
  return mb.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtBoxes::AskText(const std::string& caption, const std::string& prompt,
                                            const std::string& initial) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent_, Q(caption), Q(prompt), QLineEdit::Normal, Q(initial), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

std::optional<std::string> QtBoxes::AskOpenFile(const std::string& dir) {
  const QString path = QFileDialog::getOpenFileName(parent_, QStringLiteral("Укажите имя открываемого файла"),
                                                    Q(dir), QStringLiteral("двоичные (*.bin)"));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::optional<SavePick> QtBoxes::AskSaveFile(const std::string& caption, const std::string& dir,
                                             const std::string& name,
                                             const std::vector<std::string>& filters) {
  QStringList kinds;
  for (const std::string& f : filters) kinds << Q(f);
  QFileDialog dialog(parent_, Q(caption), QDir(Q(dir)).filePath(Q(name)));
  dialog.setObjectName("SaveFileDialog");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(kinds);
  // "CSV (*.csv)" gives "csv": added to a name typed without a suffix.
  const auto suffix_of = [](const QString& filter) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    return m.hasMatch() ? m.captured(1) : QString();
  };
  if (!kinds.isEmpty()) dialog.setDefaultSuffix(suffix_of(kinds.front()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&](const QString& filter) { dialog.setDefaultSuffix(suffix_of(filter)); });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  SavePick pick;
  pick.path = dialog.selectedFiles().front().toStdString();
  pick.filter = std::max(0, static_cast<int>(kinds.indexOf(dialog.selectedNameFilter())));
  return pick;
}

}  // namespace tarvin
