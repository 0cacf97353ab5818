// tarvin9-recorder: the sensor's link kept without a window, for days, with a
// journal of events and the oscillograms of every alarm.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "journal/journal.h"
#include "link/line_record.h"
#include "recorder/console.h"
#include "recorder/control_pipe.h"
#include "recorder/options.h"
#include "recorder/outlets.h"
#include "recorder/recorder.h"
#include "scope/oscillogram_file.h"

#ifdef _WIN32
#include "recorder/windows_service.h"
#endif

namespace {

// The signal that asks for a stop, or kServiceStop from the service
// manager's thread. Lock-free, so a signal handler may set it too.
std::atomic<int> g_stop_request{0};
constexpr int kServiceStop = -1;
static_assert(std::atomic<int>::is_always_lock_free);

void OnStopSignal(int signal) { g_stop_request = signal; }

int Usage(const std::string& option, const std::string& what) {
  std::fprintf(stderr, "tarvin9-recorder: %s: %s\n", option.c_str(), what.c_str());
  return tarvin::kExitUsage;
}

// The line recording and the oscillograms' folder, made only once the port
// has opened: a recorder that cannot start leaves no trace but its journal.
// The recording is opened first, to be appended to; its run's header is
// written once everything else has been made.
std::optional<int> MakeRecordingAndFolder(const tarvin::RecorderOptions& options, std::FILE** recording) {
  if (!options.record_line.empty()) {
    *recording = tarvin::OpenFileUtf8(options.record_line, "ab");
    if (*recording == nullptr)
      return Usage("--record-line", "cannot open " + options.record_line + ": " + std::strerror(errno));
  }
  std::error_code error;
  const auto folder = std::filesystem::u8path(options.folder);
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder))
    return Usage("--folder", "cannot make the folder " + options.folder + ": " +
                                 (error ? error.message() : "a file of that name is there"));
  return std::nullopt;
}

// Steps the session until a signal, the duration or a refused firmware ends
// the run; the stop's reason. Commands are read between steps: the loop
// wakes at least every tick.
std::string RunUntilStopped(tarvin::Recorder& recorder, tarvin::Outlets& outlets,
                            tarvin::Recorder::Clock::time_point deadline, tarvin::ControlPipe* control) {
  using Clock = tarvin::Recorder::Clock;
  for (;;) {
    Clock::time_point next = recorder.Step(Clock::now());
    if (control != nullptr)
      for (const std::string& line : control->TakeLines()) recorder.Command(line, Clock::now());
    // Right after the tick: an alarm's event leaves in the tick that saw it.
    next = std::min(next, outlets.Step(Clock::now()));
    if (recorder.Finished()) return "wrong_firmware";
    if (const int stop = g_stop_request; stop != 0) return stop == kServiceStop ? "service_stop" : "signal";
    if (Clock::now() >= deadline) return "duration";
    std::this_thread::sleep_until(std::min(next, deadline));
  }
}

// The port the options name; with --record-line, wrapped so that every byte
// each way is recorded. COMn is the port the window opens as port n,
// resolved now and kept for every reopening; anything else one device.
std::unique_ptr<tarvin::SerialPort> MakePort(const tarvin::RecorderOptions& options, int com,
                                             tarvin::RecordingPort** recording_port) {
  using namespace tarvin;
  std::unique_ptr<SerialPort> port =
      com > 0 ? MakeNativePortResolved(std::filesystem::current_path().u8string(), static_cast<int16_t>(com))
              : MakeNativePortForDevice(options.port);
  if (options.record_line.empty()) return port;
  auto wrapped = std::make_unique<RecordingPort>(std::move(port));
  *recording_port = wrapped.get();
  port = std::move(wrapped);
  return port;
}

// What the run writes besides the port, once the port's fate is known: the
// journal, which a failed start writes too; the recording and the folder when
// `make_files`; the control pipe when `opened`. The exit code of the first
// that cannot be made, or nothing.
std::optional<int> OpenRunFiles(const tarvin::RecorderOptions& options, tarvin::Journal& journal,
                                bool make_files, bool opened, std::FILE** recording,
                                std::unique_ptr<tarvin::ControlPipe>* control) {
  std::string reason;
  if (!journal.Open(options.journal, &reason))
    return Usage("--journal", "cannot open " + options.journal + ": " + reason);
  if (make_files)
    if (const auto usage = MakeRecordingAndFolder(options, recording)) return usage;
  if (opened && !options.control.empty()) {
    *control = std::make_unique<tarvin::ControlPipe>();
    if (!(*control)->Open(options.control, &reason))
      return Usage("--control", options.control + ": " + reason);
  }
  return std::nullopt;
}

// Starts the session, a service first waiting for its port for as long as no
// stop is asked for, and steps it until the run ends; the exit code.
int RunSession(const tarvin::RecorderOptions& options, tarvin::Recorder& recorder, bool waits_for_port,
               tarvin::Outlets& outlets, tarvin::ControlPipe* control) {
  using Clock = tarvin::Recorder::Clock;
  const Clock::time_point started = Clock::now();
  const auto wait = [] {
    for (int i = 0; i < 20; ++i) {
      if (g_stop_request != 0) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
  };
  const int code =
      recorder.Start(started, waits_for_port ? std::function<bool()>(wait) : std::function<bool()>());
  if (code != tarvin::kExitOk) return code;
  const auto deadline = options.duration ? started + std::chrono::duration_cast<Clock::duration>(
                                                         std::chrono::duration<double>(*options.duration))
                                         : Clock::time_point::max();
  recorder.Stop(RunUntilStopped(recorder, outlets, deadline, control), std::chrono::seconds(2));
  return recorder.ExitCode();
}

int RunRecorder(const tarvin::RecorderOptions& options) {
  using namespace tarvin;
  const int com = ComPortNumber(options.port);
  RecordingPort* recording_port = nullptr;
  std::unique_ptr<SerialPort> port = MakePort(options, com, &recording_port);
  std::FILE* recording = nullptr;

  Journal journal;
  Console console(stderr, IsTerminal(stderr));
  journal.AddObserver([&console](const nlohmann::ordered_json& event) { console.Event(event); });
  Outlets outlets(options, journal, console);

  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);

  Recorder recorder(options, *port, static_cast<int16_t>(com > 0 ? com : 1), options.port, journal, console);
  // The port first: nothing is made or changed before it is known to open.
  const bool opened = recorder.OpenPort();
  // A service has nobody at its desk to start it again: its port is waited
  // for (absent, or held by another program), its files made meanwhile.
  const bool waits_for_port = options.service;
  std::unique_ptr<ControlPipe> control;
  if (const auto usage =
          OpenRunFiles(options, journal, opened || waits_for_port, opened, &recording, &control)) {
    if (opened) recorder.ClosePort();
    if (recording != nullptr) std::fclose(recording);
    return *usage;
  }
  if (recording != nullptr) recording_port->Begin(recording, LocalIsoTime(std::chrono::system_clock::now()));
  if (outlets.WantSamples()) recorder.SetSampleObserver(&outlets);
  const int code = RunSession(options, recorder, waits_for_port, outlets, control.get());
  // Also after a port that would not open: the outlets hear the `stop`.
  outlets.Stop(std::chrono::seconds(3));
  port.reset();  // ends the recording's last line
  if (recording != nullptr) std::fclose(recording);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarvin;
#ifdef _WIN32
  const std::vector<std::string> words = CommandLineUtf8();
  std::vector<char*> utf8;
  for (const std::string& word : words) utf8.push_back(const_cast<char*>(word.c_str()));
  if (!utf8.empty()) {
    argc = static_cast<int>(utf8.size());
    utf8.push_back(nullptr);
    argv = utf8.data();
  }
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) != "--service") continue;
    // Parsed inside the service's run, in its data folder, where the
    // settings are: a bad one then ends the service with exit code 2.
    return RunAsWindowsService(
        [argc, argv] {
          RecorderOptions options;
          std::string complaint;
          const auto code =
              ParseRecorderOptions(argc, argv, &options, [&](const std::string& line) { complaint = line; });
          if (!code) return RunRecorder(options);
          // Nobody reads a service's standard error: the event log and the
          // journal in its folder say why it did not start.
          ReportToEventLog(complaint);
          Journal journal;
          if (journal.Open(RecorderOptions().journal))
            journal.Write(Event::SettingsRefused, {{"reason", complaint}});
          return *code;
        },
        [] { g_stop_request = kServiceStop; });
  }
#endif
  RecorderOptions options;
  if (const auto code = ParseRecorderOptions(argc, argv, &options)) return *code;
  return RunRecorder(options);
}
