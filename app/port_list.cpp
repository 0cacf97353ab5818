#include "app/port_list.h"

#ifndef _WIN32
#include "link/port_device.h"
#endif

namespace tarvin {

QString PortToolTip(const QString& work_dir, int number) {
#ifdef _WIN32
  (void)work_dir;
  (void)number;
  return QString();
#else
  const PortDevice d = DescribePortDevice(work_dir.toStdString(), static_cast<int16_t>(number));
  const auto q = [](const std::string& s) { return QString::fromStdString(s); };
  QString where = q(d.entry.empty() ? d.device : d.entry);
  if (!d.target.empty()) where += QStringLiteral(" → ") + q(d.target);
  if (d.exists && !d.entry.empty() && d.device != d.target && d.device != d.entry)
    where += QStringLiteral(" → ") + q(d.device);
  return QStringLiteral("COM%1 — %2\n%3")
      .arg(number)
      .arg(where, d.exists ? QStringLiteral("устройство есть") : QStringLiteral("устройства нет"));
#endif
}

void PortComboBox::RefreshToolTips() {
#ifndef _WIN32
  for (int i = 0; i < count(); ++i) setItemData(i, PortToolTip(work_dir_, i + 1), Qt::ToolTipRole);
#endif
}

void PortComboBox::showPopup() {
  RefreshToolTips();
  QComboBox::showPopup();
}

}  // namespace tarvin
