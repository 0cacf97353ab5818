// ComboBox1, the port list: its items stay "COM1" to "COM70"; on Linux each
// carries a tooltip naming the device it opens and whether that device is
// there, looked up afresh whenever the list is opened.
#pragma once

#include <QComboBox>
#include <QString>

namespace tarvin {

class PortComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit PortComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}

  // Where the COMn entries are looked for (the working folder).
  void SetWorkDir(const QString& dir) { work_dir_ = dir; }
  // Every item's tooltip, as the devices are now.
  void RefreshToolTips();
  void showPopup() override;

 private:
  QString work_dir_;
};

// "COM1 — /run/COM1 → /dev/pts/3\nустройство есть" and the like.
QString PortToolTip(const QString& work_dir, int number);

}  // namespace tarvin
