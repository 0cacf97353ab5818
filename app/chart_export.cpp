#include "app/chart_export.h"

#include "chart/chart_render.h"
#include "chart/chart_view.h"
#include "scope/oscillogram_csv.h"
#include "words/box_words.h"

namespace tarvin {
namespace {

// What a chart never shown measures: the size it would have in the window.
const QSize kUnshownSize(1000, 600);

}  // namespace

ChartExport::ChartExport(ChartView& chart, Boxes& boxes, const std::string& folder)
    : chart_(chart), boxes_(boxes), folder_(folder) {}

std::string ChartExport::SuggestedStem() const {
  std::string name = chart_.FileTitle().toStdString();
  const std::string ext = ".bin";
  if (name.size() >= ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0)
    name.resize(name.size() - ext.size());
  return name;
}

void ChartExport::Report(FileStatus status, const std::string& path) {
  if (status == FileStatus::Ok) return;
  boxes_.Inform(
      Box{BoxIcon::None, kAppTitle, words::FileFailureText(status == FileStatus::CannotOpen, path)});
}

void ChartExport::SavePicture() {
  const std::string stem = SuggestedStem();
  const auto pick = boxes_.AskSaveFile("Сохранить изображение (PNG)", folder_,
                                       stem.empty() ? "" : stem + ".png", {"PNG (*.png)"});
  if (!pick) return;
  const QSize size = chart_.isVisible() ? chart_.size() : kUnshownSize;
  const QImage image = RenderChart(chart_, size);
  chart_.replot(QCustomPlot::rpQueuedReplot);  // the layout again for the widget's own size
  Report(SavePng(image, pick->path), pick->path);
}

void ChartExport::ExportCsv() {
  const std::string stem = SuggestedStem();
  const auto pick = boxes_.AskSaveFile("Экспорт в CSV", folder_, stem.empty() ? "" : stem + ".csv",
                                       {kExcelFilter, kPlainFilter});
  if (!pick) return;
  // Taken after the dialog: a running chart has moved on meanwhile.
  uint32_t first = 0;
  const Oscillogram shown = chart_.Shown(&first);
  const CsvKind kind = pick->filter == 0 ? CsvKind::Excel : CsvKind::Plain;
  Report(WriteOscillogramCsv(pick->path, shown, kind, nullptr, first), pick->path);
}

}  // namespace tarvin
