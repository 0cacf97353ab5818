// The control room of bench/mqtt_fleet.sh: subscribes to tarvin9/# on the
// benchmark's broker, counts what the broker carries, and measures the time
// from an alarm frame on the probe sensor's line to its alarm_begin event at
// this subscriber.
//
// The probe: every PERIOD seconds "intrusion 2" goes to the probe simulator's
// command FIFO; the simulator's log (line-buffered, one line per frame it puts
// on the line) is followed, and the first status reply with alarm bits is the
// moment the alarm is on the line. Both moments are taken on this process's
// steady clock.
//
//   mqtt_fleet_watch PORT SECONDS PROBE_TOPIC PROBE_FIFO PROBE_LOG [PERIOD]
#include <fcntl.h>
#include <mosquitto.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Counts {
  std::atomic<uint64_t> messages{0}, events{0}, samples{0}, files{0}, file_bytes{0};
  std::atomic<uint64_t> chart_samples{0};  // the summaries' sample counts: is the line at full rate?
};

struct Watch {
  Counts counts;
  std::string probe_topic;
  std::mutex mutex;
  std::vector<Clock::time_point> alarm_arrivals;  // of the probe's alarm_begin
};

void OnMessage(mosquitto*, void* self, const mosquitto_message* m) {
  auto* w = static_cast<Watch*>(self);
  const Clock::time_point now = Clock::now();
  ++w->counts.messages;
  const std::string topic = m->topic;
  auto ends = [&](const char* end) {
    const std::size_t n = std::strlen(end);
    return topic.size() >= n && topic.compare(topic.size() - n, n, end) == 0;
  };
  if (ends("/event")) {
    ++w->counts.events;
    if (topic == w->probe_topic) {
      const auto e =
          nlohmann::json::parse(static_cast<const char*>(m->payload),
                                static_cast<const char*>(m->payload) + m->payloadlen, nullptr, false);
      if (e.is_object() && e.value("event", "") == "alarm_begin") {
        std::lock_guard<std::mutex> lock(w->mutex);
        w->alarm_arrivals.push_back(now);
      }
    }
  } else if (ends("/samples")) {
    ++w->counts.samples;
    const auto s =
        nlohmann::json::parse(static_cast<const char*>(m->payload),
                              static_cast<const char*>(m->payload) + m->payloadlen, nullptr, false);
    if (s.is_object()) w->counts.chart_samples += s.value("samples", 0u);
  } else if (ends("/oscillogram")) {
    ++w->counts.files;
    w->counts.file_bytes += static_cast<uint64_t>(m->payloadlen);
  }
}

// True for a logged status reply (":0141" + word 1) with alarm bits set.
bool IsAlarmReply(const std::string& line) {
  const auto at = line.find("> :0141");
  if (at == std::string::npos || line.size() < at + 11) return false;
  const unsigned word = static_cast<unsigned>(std::strtoul(line.substr(at + 7, 4).c_str(), nullptr, 16));
  return (word & 0x06) != 0;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: mqtt_fleet_watch PORT SECONDS PROBE_TOPIC PROBE_FIFO PROBE_LOG [PERIOD]\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const double seconds = std::atof(argv[2]);
  const double period = argc > 6 ? std::atof(argv[6]) : 6.0;
  Watch watch;
  watch.probe_topic = argv[3];

  mosquitto_lib_init();
  mosquitto* client = mosquitto_new("bench-control-room", true, &watch);
  mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
  mosquitto_message_callback_set(client, &OnMessage);
  mosquitto_connect_callback_set(client, [](mosquitto* m, void*, int rc) {
    if (rc == 0) mosquitto_subscribe(m, nullptr, "tarvin9/#", 1);
  });
  if (mosquitto_connect(client, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) {
    std::fprintf(stderr, "mqtt_fleet_watch: cannot connect to 127.0.0.1:%d\n", port);
    return 1;
  }
  mosquitto_loop_start(client);

  const int fifo = ::open(argv[4], O_WRONLY);
  const int log = ::open(argv[5], O_RDONLY);
  if (fifo < 0 || log < 0) {
    std::fprintf(stderr, "mqtt_fleet_watch: cannot open the probe's FIFO or log\n");
    return 1;
  }
  ::lseek(log, 0, SEEK_END);

  // The retained messages arrive first: counting starts after them.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const uint64_t messages_at_start = watch.counts.messages, events_at_start = watch.counts.events,
                 samples_at_start = watch.counts.samples, files_at_start = watch.counts.files,
                 bytes_at_start = watch.counts.file_bytes, chart_at_start = watch.counts.chart_samples;
  std::vector<double> latencies_ms;
  std::string pending;
  const Clock::time_point start = Clock::now();
  const Clock::time_point end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  Clock::time_point next_probe = start + std::chrono::seconds(1);
  bool awaiting_line = false;
  std::size_t arrivals_seen = 0;
  Clock::time_point on_line{};

  while (Clock::now() < end) {
    const Clock::time_point now = Clock::now();
    // A probe whose alarm never showed on the line (a poll that missed it)
    // is given up at the next one.
    if (now >= next_probe) {
      {
        std::lock_guard<std::mutex> lock(watch.mutex);
        arrivals_seen = watch.alarm_arrivals.size();
      }
      // Two seconds: the sensor's status is polled every second.
      const char command[] = "intrusion 2\n";
      (void)!::write(fifo, command, sizeof command - 1);
      awaiting_line = true;
      next_probe = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(period));
    }
    char buffer[8192];
    const ssize_t got = ::read(log, buffer, sizeof buffer);
    if (got > 0) pending.append(buffer, static_cast<std::size_t>(got));
    for (auto nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
      const std::string line = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      if (awaiting_line && IsAlarmReply(line)) {
        on_line = Clock::now();
        awaiting_line = false;
        // Its event, when it comes (a generous bound: a lost one counts as missing).
        const Clock::time_point until = on_line + std::chrono::seconds(5);
        for (;;) {
          {
            std::lock_guard<std::mutex> lock(watch.mutex);
            if (watch.alarm_arrivals.size() > arrivals_seen) {
              latencies_ms.push_back(
                  std::chrono::duration<double, std::milli>(watch.alarm_arrivals[arrivals_seen] - on_line)
                      .count());
              break;
            }
          }
          if (Clock::now() > until) break;
          std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
      }
    }
    if (got <= 0) std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  mosquitto_disconnect(client);
  mosquitto_loop_stop(client, false);

  const double messages = static_cast<double>(watch.counts.messages - messages_at_start);
  std::printf("seconds %.1f\n", elapsed);
  std::printf("messages_per_s %.1f\n", messages / elapsed);
  std::printf("events_per_s %.1f\n", static_cast<double>(watch.counts.events - events_at_start) / elapsed);
  std::printf("samples_per_s %.1f\n", static_cast<double>(watch.counts.samples - samples_at_start) / elapsed);
  std::printf("oscillograms %llu (%.0f bytes/s)\n",
              static_cast<unsigned long long>(watch.counts.files - files_at_start),
              static_cast<double>(watch.counts.file_bytes - bytes_at_start) / elapsed);
  const double summaries = static_cast<double>(watch.counts.samples - samples_at_start);
  std::printf(
      "chart_samples_per_summary %.1f\n",
      summaries > 0 ? static_cast<double>(watch.counts.chart_samples - chart_at_start) / summaries : 0.0);
  std::printf("alarm_probes %zu\n", latencies_ms.size());
  std::printf("alarm_latency_ms_median %.1f\n", Percentile(latencies_ms, 0.5));
  std::printf("alarm_latency_ms_p90 %.1f\n", Percentile(latencies_ms, 0.9));
  std::printf("alarm_latency_ms_max %.1f\n",
              latencies_ms.empty() ? 0.0 : *std::max_element(latencies_ms.begin(), latencies_ms.end()));
  return latencies_ms.empty() ? 1 : 0;
}
