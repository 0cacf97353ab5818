// The window's side of the link that needs no window: opening the chosen port,
// the port change, the port handling of the exit, and the reactions to the
// three notices the engine posts. Plain C++: it acts through EngineSink,
// CommandsView and the engine, so tests drive it without a toolkit.
#pragma once

#include <string>

#include "control/commands_view.h"
#include "control/sensor_commands.h"
#include "engine/engine_sink.h"
#include "engine/link_engine.h"

namespace tarvin {

// What the window must do after a notice has been handled.
enum class NoticeOutcome { Continue, CloseWindow };

// What is said of a port that did not open: that it did not, or, when the
// system refused this user the device, which device and who may open it.
Message PortFailure(const SerialPort& port);

class Supervision {
 public:
  Supervision(LinkEngine& engine, SensorCommands& commands, EngineSink& sink, CommandsView& view);

  // Start-up: opens port index+1 (ComboBox1's item) and, when it fails,
  // resets the buttons before naming the port as off.
  bool OpenAtStartup(int index, const std::string& item_text);
  // The operator chose another port from the window's list: ticking off, the
  // port in use closed (no purge), then the chosen one opened; on failure the
  // port is named off and the picture shows no connection before the buttons
  // are reset.
  bool ChangePort(int index, const std::string& item_text);
  // The exit was confirmed: ticking off, then the port purged and closed when
  // one is really held.
  void ExitConfirmed();
  // The link lost, restored, the wrong firmware. The box is shown through the
  // sink (outside any tick, so at once); for the wrong version the port is
  // closed after the box and the window must close. `show` false: only what
  // the notice does to the link, nothing shown (a program with no window).
  NoticeOutcome HandleNotice(Notice notice, bool show = true);

 private:
  bool Open(int index, const std::string& item_text, bool port_change);
  void StopLink();  // ticking off, the port closed without a purge

  LinkEngine& engine_;
  SensorCommands& commands_;
  EngineSink& sink_;
  CommandsView& view_;
  bool version_refused_ = false;
};

}  // namespace tarvin
