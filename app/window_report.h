// "Отчёт…": the commissioning report made from the window's own journal, as
// `tarvin9-osc report` makes it, after a save dialog. Offered in the chart's
// context menu beside "Журнал событий…" and in the journal's window. A
// failure is told in the plain box the saves use, naming the path.
#pragma once

#include <string>

#include "app/boxes.h"

namespace tarvin {

class WindowJournal;

class WindowReport {
 public:
  // `journal` may be null (the journal is off); `folder`: where the dialog opens.
  WindowReport(Boxes& boxes, const WindowJournal* journal, const std::string& folder);

  void Make();

  static constexpr const char* kAction = "Отчёт…";

 private:
  Boxes& boxes_;
  const WindowJournal* journal_;
  std::string folder_;
};

}  // namespace tarvin
