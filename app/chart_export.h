// The chart's exports, offered in its context menu: "Сохранить изображение
// (PNG)…" (the chart as it is drawn, zoom included) and "Экспорт в CSV…" (every
// sample it shows: the live window or the opened file), each after a save
// dialog. A failure is told in the plain box the saves use, naming the path.
#pragma once

#include <string>

#include "app/boxes.h"
#include "scope/oscillogram_file.h"

namespace tarvin {

class ChartView;

class ChartExport {
 public:
  // `folder`: where the dialogs open (the oscillogram folder); read when asked.
  ChartExport(ChartView& chart, Boxes& boxes, const std::string& folder);

  void SavePicture();
  void ExportCsv();

  static constexpr const char* kPictureAction = "Сохранить изображение (PNG)…";
  static constexpr const char* kCsvAction = "Экспорт в CSV…";
  static constexpr const char* kExcelFilter = "CSV для Excel (*.csv)";
  static constexpr const char* kPlainFilter = "CSV (*.csv)";

 private:
  // The opened file's name without ".bin", or empty for the live window.
  std::string SuggestedStem() const;
  void Report(FileStatus status, const std::string& path);

  ChartView& chart_;
  Boxes& boxes_;
  const std::string& folder_;
};

}  // namespace tarvin
