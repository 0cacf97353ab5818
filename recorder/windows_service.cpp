#include "recorder/windows_service.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "base/file_io.h"

namespace tarvin {

namespace {

// What the manager's threads share with the service's own: the dispatcher
// calls ServiceMain on one thread and the handler on another.
struct ServiceState {
  const std::function<int()>* run = nullptr;
  const std::function<void()>* stop = nullptr;
  SERVICE_STATUS_HANDLE handle = nullptr;
  std::mutex mutex;
  SERVICE_STATUS status{};
  int exit_code = 0;
};

ServiceState g_service;

void Report(DWORD state, DWORD wait_hint, int exit_code = 0) {
  std::lock_guard<std::mutex> lock(g_service.mutex);
  SERVICE_STATUS& s = g_service.status;
  s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  s.dwCurrentState = state;
  // Once stopping, no further stop is offered.
  s.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  s.dwWin32ExitCode = exit_code == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  s.dwServiceSpecificExitCode = static_cast<DWORD>(exit_code);
  s.dwCheckPoint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : s.dwCheckPoint + 1;
  s.dwWaitHint = wait_hint;
  SetServiceStatus(g_service.handle, &s);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      // The chart stopped (2 s at most), the journal's `stop`, the broker
      // told (3 s at most): well inside this hint.
      Report(SERVICE_STOP_PENDING, 10000);
      (*g_service.stop)();
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  wchar_t name[] = L"tarvin9-recorder";
  g_service.handle = RegisterServiceCtrlHandlerExW(name, Handler, nullptr);
  if (g_service.handle == nullptr) {
    g_service.exit_code = 1;
    return;
  }
  Report(SERVICE_START_PENDING, 5000);
  const std::string folder = ServiceDataFolder();
  std::error_code error;
  if (folder.empty() || (std::filesystem::current_path(std::filesystem::u8path(folder), error), error)) {
    g_service.exit_code = 1;
  } else {
    Report(SERVICE_RUNNING, 0);
    g_service.exit_code = (*g_service.run)();
  }
  Report(SERVICE_STOPPED, 0, g_service.exit_code);
}

}  // namespace

std::string ServiceDataFolder() {
  wchar_t* known = nullptr;
  if (SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &known) != S_OK) {
    CoTaskMemFree(known);
    return {};
  }
  const std::filesystem::path folder = std::filesystem::path(known) / L"Tarvin-9";
  CoTaskMemFree(known);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) return {};
  return folder.u8string();
}

std::vector<std::string> CommandLineUtf8() {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (words == nullptr) return args;
  for (int i = 0; i < count; ++i) {
    args.push_back(NarrowUtf8(words[i], std::wcslen(words[i])));
  }
  LocalFree(words);
  return args;
}

void ReportToEventLog(const std::string& text) {
  HANDLE source = RegisterEventSourceW(nullptr, L"tarvin9-recorder");
  if (source == nullptr) return;
  const std::wstring wide = WidenUtf8(text);
  const wchar_t* strings[] = {wide.c_str()};
  ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(source);
}

int RunAsWindowsService(const std::function<int()>& run, const std::function<void()>& stop) {
  g_service.run = &run;
  g_service.stop = &stop;
  wchar_t name[] = L"tarvin9-recorder";
  SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) {
    const DWORD error = GetLastError();
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)
      std::fprintf(stderr,
                   "tarvin9-recorder: --service: only the service manager starts it so; see --help for "
                   "sc.exe\n");
    else
      std::fprintf(stderr, "tarvin9-recorder: --service: the service manager refused it (error %lu)\n",
                   static_cast<unsigned long>(error));
    return 1;
  }
  return g_service.exit_code;
}

}  // namespace tarvin
