// The port list's tooltips: the device each COMn opens and whether it is there,
// looked up again each time the list is opened; the items stay as they are.
#include <gtest/gtest.h>

#include <QComboBox>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/port_list.h"
#include "tests/gui/window_rig.h"

namespace tarvin::testing {
namespace {

#ifndef _WIN32

std::string Tip(QComboBox* combo, int index) { return S(combo->itemData(index, Qt::ToolTipRole).toString()); }

TEST(PortList, EachItemNamesItsDeviceAndWhetherItIsThere) {
  WindowRig rig;
  auto* combo = rig.Find<QComboBox>("ComboBox1");
  ASSERT_NE(combo, nullptr);
  namespace fs = std::filesystem;
  const fs::path dir = rig.folder.Path();
  const std::string d = dir.string();
  std::ofstream(dir / "adapter").put('x');
  fs::create_symlink(dir / "adapter", dir / "COM3");
  fs::create_symlink("/dev/serial/by-id/usb-none-such-adapter", dir / "COM4");
  fs::create_symlink("by-id", dir / "COM5");  // relative, through a second link
  fs::create_symlink(dir / "adapter", dir / "by-id");

  // Made before the list was opened: seen only once it is.
  EXPECT_EQ(Tip(combo, 2).find("adapter"), std::string::npos) << Tip(combo, 2);
  combo->showPopup();
  combo->hidePopup();

  const std::string adapter = fs::canonical(dir / "adapter").string();
  EXPECT_EQ(Tip(combo, 2), "COM3 — " + d + "/COM3 → " + d + "/adapter\nустройство есть");
  EXPECT_EQ(Tip(combo, 3), "COM4 — " + d + "/COM4 → /dev/serial/by-id/usb-none-such-adapter\nустройства нет");
  EXPECT_EQ(Tip(combo, 4), "COM5 — " + d + "/COM5 → by-id → " + adapter + "\nустройство есть");
  // No entry in the folder: the machine's own serial port n-1.
  const bool ttyS0 = fs::exists("/dev/ttyS0");
  EXPECT_EQ(Tip(combo, 0),
            std::string("COM1 — /dev/ttyS0\n") + (ttyS0 ? "устройство есть" : "устройства нет"));
  EXPECT_EQ(Tip(combo, 69).rfind("COM70 — /dev/ttyS69\n", 0), 0u) << Tip(combo, 69);

  // The adapter unplugged: the next opening of the list says so.
  fs::remove(dir / "adapter");
  combo->showPopup();
  combo->hidePopup();
  EXPECT_EQ(Tip(combo, 2), "COM3 — " + d + "/COM3 → " + d + "/adapter\nустройства нет");
  EXPECT_EQ(Tip(combo, 4), "COM5 — " + d + "/COM5 → by-id\nустройства нет");

  // The list itself is untouched.
  ASSERT_EQ(combo->count(), 70);
  for (int i = 0; i < 70; ++i) EXPECT_EQ(S(combo->itemText(i)), "COM" + std::to_string(i + 1));
  EXPECT_FALSE(combo->isEditable());
  EXPECT_EQ(combo->currentIndex(), 0);
}

#endif

}  // namespace
}  // namespace tarvin::testing
