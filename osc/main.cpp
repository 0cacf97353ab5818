// tarvin9-osc: stored oscillograms from the command line.
//   tarvin9-osc info FILE... [--level L] [--json]
//   tarvin9-osc csv FILE... [-o OUT] [--excel]
//   tarvin9-osc png FILE... [-o OUT] [--size WxH] [--ymin N] [--ymax N]
//   tarvin9-osc report JOURNAL... -o REPORT.pdf|- [--folder DIR] [--from TIME] [--to TIME] [--json]
// Exit status: 0 all done, 1 a file could not be read or written (the others
// were still done), 2 bad usage.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <regex>

#include "base/file_io.h"
#include "osc/osc_info.h"
#include "osc/osc_outputs.h"
#include "osc/osc_png.h"
#include "osc/osc_report.h"
#include "osc/osc_usage.h"
#include "scope/oscillogram_csv.h"

namespace tarvin::osc {
namespace {

constexpr const char* kSeveralIntoOne =
    "-o: several files go into a folder: name one that exists, or end the name with / to make it: ";

// "-o pictures/": the folder is made when missing. A usage error when it cannot be.
std::optional<int> MakeOutFolder(const std::string& out) {
  if (!NamesFolder(out) || IsFolderUtf8(out)) return std::nullopt;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::u8path(out), error);
  if (!error) return std::nullopt;
  return Usage("-o " + out + ": cannot make the folder: " + error.message());
}

// Reads one file; on failure the window's message for it goes to standard error.
bool Read(const std::string& path, Oscillogram* o, std::string* message = nullptr) {
  const FileStatus status = ReadOscillogram(path, o);
  if (status == FileStatus::Ok) return true;
  const std::string text = ReadFailureLine(status, path);
  std::cerr << text << "\n";
  if (message != nullptr) *message = text.substr(std::strlen("tarvin9-osc: "));
  return false;
}

int Info(const std::vector<std::string>& files, double level, bool json) {
  std::vector<InfoEntry> entries;
  bool all_good = true;
  for (const std::string& path : files) {
    InfoEntry entry;
    entry.path = path;
    Oscillogram o;
    if (Read(path, &o, &entry.error)) {
      entry.stats = ComputeStats(o, level);
      if (!json) PrintInfoText(std::cout, path, *entry.stats, level);
    } else {
      all_good = false;
    }
    entries.push_back(std::move(entry));
  }
  if (json) std::cout << InfoJsonText(entries, level);
  return all_good ? kDone : kSomeFailed;
}

int Csv(const std::vector<std::string>& files, const std::string& out, bool excel) {
  if (const std::string refused = RefusedOutput(out, true); !refused.empty()) return Usage(refused);
  const CsvKind kind = excel ? CsvKind::Excel : CsvKind::Plain;
  if (out == "-") {
    if (files.size() != 1) return Usage("-o -: standard output takes one file");
    Oscillogram o;
    if (!Read(files[0], &o)) return kSomeFailed;
    const std::string text = OscillogramCsv(o, kind);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? kDone : kSomeFailed;
  }
  if (const auto refused = MakeOutFolder(out)) return *refused;
  const auto outputs = OutputPaths(files, out, ".csv");
  if (!outputs) return Usage(kSeveralIntoOne + out);
  bool all_good = true;
  for (std::size_t i = 0; i < files.size(); ++i) {
    Oscillogram o;
    if (!Read(files[i], &o)) {
      all_good = false;
      continue;
    }
    std::string reason;
    const FileStatus written = WriteOscillogramCsv((*outputs)[i], o, kind, &reason);
    if (written != FileStatus::Ok) {
      std::cerr << WriteFailureLine(written, (*outputs)[i], reason) << "\n";
      all_good = false;
    }
  }
  return all_good ? kDone : kSomeFailed;
}

// "1200x700" within the limits of a picture one can open.
bool ParseSize(const std::string& text, int* width, int* height) {
  static const std::regex kSize("([0-9]{1,5})[xX]([0-9]{1,5})");
  std::smatch m;
  if (!std::regex_match(text, m, kSize)) return false;
  *width = std::stoi(m[1]);
  *height = std::stoi(m[2]);
  return *width >= 100 && *width <= 10000 && *height >= 100 && *height <= 10000;
}

CLI::App* AddReport(CLI::App& app, ReportOptions* o) {
  CLI::App* report = app.add_subcommand(
      "report", "a commissioning report in Russian (PDF, A4) from journals and their oscillograms");
  report->add_option("JOURNAL", o->journals, "event journals (JSON Lines), oldest first")
      ->required()
      ->check(CLI::ExistingFile);
  report->add_option("-o,--output", o->output,
                     "the PDF to write (whole or not at all); - for standard output");
  report
      ->add_option("--folder", o->folder, "where the oscillograms are (default: the paths the journal names)")
      ->check(CLI::ExistingDirectory);
  report->add_option("--from", o->from,
                     "the period's start, local time: 2026-12-07T23:00, 2026-12-07 or as "
                     "the journal writes it (default: the journal's first line)");
  report->add_option("--to", o->to, "the period's end (default: the journal's last line)");
  report->add_option("--site", o->site, "the site's name for the report");
  report->add_option("--sensor", o->sensor, "the sensor's name for the report");
  report->add_option("--title", o->title, "the report's title");
  report->add_flag("--json", o->json, "the report's data as JSON on standard output");
  return report;
}

int Run(int argc, char** argv) {
  CLI::App app("Stored oscillograms of the sensor \"Тарвин-9\": numbers, CSV and pictures.", "tarvin9-osc");
  app.require_subcommand(1);
  app.set_version_flag("--version", "tarvin9-osc " TARVIN_VERSION);

  std::vector<std::string> files;
  double level = 40.0;
  bool json = false;
  CLI::App* info =
      app.add_subcommand("info", "count, minimum, maximum and mean of every signal, and level crossings");
  info->add_option("FILE", files, "oscillogram files (.bin)")->required();
  info->add_option("--level", level, "the level whose crossings are listed")->capture_default_str();
  info->add_flag("--json", json, "the same as JSON");

  std::string out;
  bool excel = false;
  CLI::App* csv = app.add_subcommand("csv", "the samples as CSV, beside each file or in OUT");
  csv->add_option("FILE", files, "oscillogram files (.bin)")->required();
  csv->add_option("-o,--output", out, "the CSV file (one FILE; - for standard output) or a folder");
  csv->add_flag("--excel", excel,
                "for a spreadsheet in a Russian locale: ';', decimal comma, byte-order mark");

  std::string size = "1200x700";
  PngOptions png_options;
  CLI::App* png = app.add_subcommand("png", "the chart as the window draws it, beside each file or in OUT");
  png->add_option("FILE", files, "oscillogram files (.bin)")->required();
  png->add_option("-o,--output", out, "the PNG file (one FILE; - for standard output) or a folder");
  png->add_option("--size", size, "picture size in pixels, WxH")
      ->capture_default_str()
      ->check(CLI::Validator(
          [](std::string& s) {
            int w = 0, h = 0;
            return ParseSize(s, &w, &h) ? std::string() : "expected WxH, 100 to 10000 each, e.g. 1200x700";
          },
          "WxH"));
  png->add_option("--ymin", png_options.ymin, "the left axis' lower end")
      ->check(CLI::Range(0, 4095))
      ->capture_default_str();
  png->add_option("--ymax", png_options.ymax, "the left axis' upper end")
      ->check(CLI::Range(0, 65535))
      ->capture_default_str();

  ReportOptions report_options;
  CLI::App* report = AddReport(app, &report_options);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // "tarvin9-osc frob x": the word taken for no command is named.
    const std::vector<std::string> left = app.remaining();
    if (app.get_subcommands().empty() && !left.empty())
      return Usage(left.front() + ": no such command; the commands are info, csv, png and report");
    return Usage(e.what());
  }

  if (report->parsed()) return RunReport(report_options);
  if (info->parsed()) return Info(files, level, json);
  if (csv->parsed()) return Csv(files, out, excel);
  if (const std::string refused = RefusedOutput(out, true); !refused.empty()) return Usage(refused);
  if (out == "-" && files.size() != 1) return Usage("-o -: standard output takes one file");
  if (const auto refused = MakeOutFolder(out)) return *refused;
  const auto outputs = OutputPaths(files, out, ".png");
  if (!outputs) return Usage(kSeveralIntoOne + out);
  ParseSize(size, &png_options.width, &png_options.height);
  return RenderPngs(files, *outputs, png_options) ? kDone : kSomeFailed;
}

}  // namespace
}  // namespace tarvin::osc

int main(int argc, char** argv) { return tarvin::osc::Run(argc, argv); }
