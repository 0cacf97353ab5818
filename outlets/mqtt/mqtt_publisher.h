// Publishes what the recorder journals to an MQTT broker (MQTT 5, through
// libmosquitto), from the recorder's own thread: Step() runs the client's
// network loop without waiting, so the link is never held up by the broker.
//
// The only subscription is to the sensor's acknowledgements (ack/+): the
// sensor cannot be commanded through the broker. An acknowledgement is
// decided by the AckBook and journalled as `ack` or `ack_refused`; the
// book's history of alarms, link changes and acks is kept retained, as small
// messages the HistoryPacer lets out at most once a second each.
// While the broker is away, messages wait in a bounded queue and go out in
// order once it is back; reconnection backs off from 1 s to 30 s.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "control_room/ack_book.h"
#include "journal/journal.h"
#include "outlets/backoff.h"
#include "outlets/mqtt/history_pacer.h"
#include "outlets/mqtt/mqtt_messages.h"
#include "outlets/mqtt/mqtt_options.h"
#include "outlets/outlet.h"
#include "outlets/publish_queue.h"

struct mosquitto;
struct mosquitto_message;
struct mqtt5__property;

namespace tarvin {

class MqttPublisher : public Outlet {
 public:
  // `say`: a line for the operator about the broker (refused, lost, back).
  MqttPublisher(const MqttOptions& options, Journal& journal, ConsoleLine say);
  ~MqttPublisher() override;
  MqttPublisher(const MqttPublisher&) = delete;
  MqttPublisher& operator=(const MqttPublisher&) = delete;

  // Queues the event, and the oscillogram of a save.
  void TakeEvent(const nlohmann::ordered_json& event) override;
  // Every chart sample; only widens the summary's minima and maxima.
  void TakeSample(const ScopeSample& sample) override { summary_.Add(sample); }
  bool WantsSamples() const override { return options_.samples > 0; }

  // Connects, runs the network loop once without waiting, sends what waits.
  // Returns when it wants to run again.
  Clock::time_point Step(Clock::time_point now) override;
  // Marks the sensor offline, waits up to `drain` for the queue to go out,
  // and disconnects.
  void Stop(Clock::duration drain) override;

  bool Connected() const { return state_ == State::Connected; }
  const PublishQueue& Queue() const { return queue_; }

 private:
  enum class State { Idle, Connecting, Connected };

  static void OnConnect(mosquitto*, void* self, int reason, int flags, const mqtt5__property*);
  static void OnPublish(mosquitto*, void* self, int mid, int reason, const mqtt5__property*);
  static void OnLog(mosquitto*, void* self, int level, const char* text);
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message, const mqtt5__property*);

  void Connect(Clock::time_point now);
  void AfterConnect(Clock::time_point now);
  void Lost(Clock::time_point now, const std::string& reason);
  void Refused(const std::string& reason);
  void Pump(Clock::time_point now, bool history_now = false);
  // The acknowledgements received in the last network loop, decided and journalled.
  void TakeAcks();
  bool Publish(const OutMessage& message, int* mid);
  bool PublishRetained(const std::string& topic, const std::string& payload);
  void Say(const std::string& text);
  void ReportDrops();

  MqttOptions options_;
  Journal& journal_;
  ConsoleLine say_;
  SensorTopics topics_;
  std::string ack_prefix_;
  SensorState sensor_;
  SampleSummary summary_;
  PublishQueue queue_;

  mosquitto* client_ = nullptr;
  State state_ = State::Idle;
  Clock::time_point connect_deadline_{};
  Backoff backoff_;
  Clock::duration sample_period_{};
  Clock::time_point next_sample_{};
  // Set by the callbacks, acted on in Step(): no client call from inside one.
  bool connack_ok_ = false;
  std::string refusal_;
  std::string last_tls_error_;

  struct Sent {
    int mid;
    OutMessage message;
  };
  std::deque<Sent> in_flight_;
  AckBook acks_;
  bool acks_read_back_ = false;
  struct Incoming {
    std::string login, payload;
  };
  std::vector<Incoming> incoming_;
  HistoryPacer history_pacer_;
  bool history_dirty_ = true;  // a history message may differ from the broker's
  bool old_history_cleared_ = false;
  bool state_dirty_ = true;
  bool status_dirty_ = true;
  bool ever_connected_ = false;
  std::string last_problem_;  // said once, not at every retry
  DropCounts unreported_;
};

}  // namespace tarvin
