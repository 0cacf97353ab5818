#include "sim/replay.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "sim/pty_link.h"

namespace tarvin::sim {
namespace {

// Seconds since the replay began, as the simulator's log counts them.
double Now() {
  static const auto origin = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin).count();
}

}  // namespace

std::vector<double> ReplaySchedule(const std::vector<LineChunk>& chunks, double pace) {
  double origin = 0;
  for (const LineChunk& c : chunks) {
    if (c.direction == LineDirection::ToSensor) {
      origin = c.seconds;
      break;
    }
  }
  std::vector<double> due;
  for (const LineChunk& c : chunks)
    if (c.direction == LineDirection::FromSensor) due.push_back(std::max(0.0, c.seconds - origin) / pace);
  return due;
}

int Replay::Run(const volatile std::sig_atomic_t* stop) {
  PtyLink pty(options_.link_path);
  std::string error;
  if (!pty.Open(&error)) {
    std::fprintf(stderr, "tarvin_sim: %s\n", error.c_str());
    return 1;
  }
  std::vector<const LineChunk*> from_sensor;
  for (const LineChunk& c : chunks_)
    if (c.direction == LineDirection::FromSensor) from_sensor.push_back(&c);
  const std::vector<double> due = ReplaySchedule(chunks_, options_.pace);
  log_.Note(Now(), "replay of %zu chunks onto %s -> %s", from_sensor.size(), options_.link_path.c_str(),
            pty.SlaveName().c_str());
  std::printf("ready\n");
  std::fflush(stdout);

  double start = -1;  // the program's first byte
  std::size_t next = 0;
  std::string out;  // what the line has not taken yet
  bool announced = false;
  char buffer[512];
  while (*stop == 0) {
    const double now = Now();
    const long got = pty.Read(buffer, sizeof buffer);
    if (got > 0) {
      if (start < 0) start = now;
      log_.Frame(now, '<', buffer, static_cast<std::size_t>(got));
    }
    while (start >= 0 && next < due.size() && now - start >= due[next]) {
      out += from_sensor[next]->bytes;
      log_.Frame(now, '>', from_sensor[next]->bytes.data(), from_sensor[next]->bytes.size());
      ++next;
    }
    if (!out.empty()) {
      const long put = pty.Write(out.data(), out.size());
      if (put > 0) out.erase(0, static_cast<std::size_t>(put));
      if (put < 0) out.clear();  // nobody listens: lost, as on a real line
    }
    if (!announced && next == due.size() && out.empty() && start >= 0) {
      announced = true;
      std::printf("done\n");
      std::fflush(stdout);
    }
    // Short waits: the recording's times are kept to a millisecond or so.
    double wait = 0.05;
    if (start >= 0 && next < due.size()) wait = std::min(wait, std::max(0.0, start + due[next] - Now()));
    if (!out.empty()) wait = std::min(wait, 0.002);
    pollfd fd{pty.Fd(), POLLIN, 0};
    ::poll(&fd, 1, static_cast<int>(wait * 1000) + (wait > 0 ? 1 : 0));
    if ((fd.revents & POLLHUP) != 0 && got <= 0) ::poll(nullptr, 0, 5);  // nobody has the line open yet
  }
  log_.Note(Now(), "end");
  pty.Hangup();
  pty.Unlink();
  return 0;
}

}  // namespace tarvin::sim
