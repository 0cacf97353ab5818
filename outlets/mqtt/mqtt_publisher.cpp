#include "outlets/mqtt/mqtt_publisher.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>

#include "scope/oscillogram_file.h"

namespace tarvin {
namespace {

// A broker that takes the connection but never answers it is given up on.
constexpr auto kConnackWait = std::chrono::seconds(10);
constexpr auto kLoopEvery = std::chrono::milliseconds(40);
constexpr int kKeepAliveSeconds = 20;
// Messages sent and not yet acknowledged; the rest wait in the queue, where
// the bounds apply.
constexpr std::size_t kInFlight = 64;
constexpr int kQos = 1;
// Acknowledgements waiting for the loop's end; more in one loop is a flood.
constexpr std::size_t kIncomingMax = 256;

std::string FileName(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadWhole(const std::string& path, std::string* bytes) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The client id the broker knows this sensor's recorder by.
std::string ClientId(const std::string& site, const std::string& sensor) {
  return "tarvin9-" + site + "-" + sensor;
}

// The library's words without a full stop of their own: they are set inside
// our sentences ("Lookup error; recording goes on").
std::string WithoutFullStop(std::string text) {
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  return text;
}

// The reason a call failed, in words.
std::string ErrorText(int rc) {
  return WithoutFullStop(rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc));
}

struct LibraryUse {
  LibraryUse() { mosquitto_lib_init(); }
  ~LibraryUse() { mosquitto_lib_cleanup(); }
};

}  // namespace

MqttPublisher::MqttPublisher(const MqttOptions& options, Journal& journal, ConsoleLine say)
    : options_(options),
      journal_(journal),
      say_(std::move(say)),
      topics_(options.site, options.sensor),
      ack_prefix_(topics_.AckPrefix()) {
  static LibraryUse library;
  if (options_.samples > 0)
    sample_period_ =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / options_.samples));
}

MqttPublisher::~MqttPublisher() {
  if (client_ != nullptr) mosquitto_destroy(client_);
}

void MqttPublisher::TakeEvent(const nlohmann::ordered_json& event) {
  if (!acks_read_back_) {
    // The first event is this run's `start`: the journal is open, and what
    // earlier runs left in it is what came before.
    acks_read_back_ = true;
    if (journal_.IsOpen()) acks_.ReadBack(journal_.Path(), journal_.StartOffset());
  }
  if (acks_.Follow(event)) history_dirty_ = true;
  const unsigned changed = sensor_.Apply(event);
  if ((changed & SensorState::kState) != 0) state_dirty_ = true;
  if ((changed & SensorState::kStatus) != 0) status_dirty_ = true;
  queue_.Push({MessageKind::Event, topics_.Event(), EventText(event), ""});

  if (JournalEvent(event).Kind() == Event::Saved) {
    const std::string path = JournalEvent(event).Text("path");
    OutMessage file{MessageKind::File, topics_.Oscillogram(), "", FileName(path)};
    if (ReadWhole(path, &file.payload)) {
      if (options_.v311) file.payload = FileWrapper(file.file_name, file.payload);
      queue_.Push(std::move(file));
    }
  }
  // Counted here, reported from Step(): an observer must not write to the
  // journal that is calling it.
  const DropCounts dropped = queue_.TakeDrops();
  unreported_.events += dropped.events;
  unreported_.files += dropped.files;
  unreported_.samples += dropped.samples;
}

MqttPublisher::Clock::time_point MqttPublisher::Step(Clock::time_point now) {
  if (sample_period_ > Clock::duration::zero()) {
    if (next_sample_ == Clock::time_point{}) next_sample_ = now + sample_period_;
    if (now >= next_sample_) {
      next_sample_ += sample_period_;
      if (next_sample_ <= now) next_sample_ = now + sample_period_;
      if (summary_.Count() > 0) {
        queue_.Push({MessageKind::Sample, topics_.Samples(),
                     EventText(summary_.Take(LocalIsoTime(std::chrono::system_clock::now()))), ""});
        const DropCounts dropped = queue_.TakeDrops();
        unreported_.events += dropped.events;
        unreported_.samples += dropped.samples;
      }
    }
  }

  if (client_ == nullptr && backoff_.Due(now)) Connect(now);
  if (client_ != nullptr) {
    const int rc = mosquitto_loop(client_, 0, 1);
    if (!refusal_.empty()) {
      Refused(std::exchange(refusal_, std::string()));
      Lost(now, "");
    } else if (rc != MOSQ_ERR_SUCCESS) {
      std::string reason = ErrorText(rc);
      if (rc == MOSQ_ERR_TLS && !last_tls_error_.empty()) {
        // A certificate the broker or this recorder does not accept will not
        // mend itself: said as a refusal.
        Refused("TLS: " + last_tls_error_);
        reason.clear();
      }
      Lost(now, reason);
    } else if (state_ == State::Connecting && connack_ok_) {
      AfterConnect(now);
    } else if (state_ == State::Connecting && now >= connect_deadline_) {
      Lost(now, "no answer from the broker");
    }
  }
  TakeAcks();
  if (state_ == State::Connected) Pump(now);

  Clock::time_point next = client_ != nullptr ? now + kLoopEvery : backoff_.Next();
  if (sample_period_ > Clock::duration::zero()) next = std::min(next, next_sample_);
  return next;
}

void MqttPublisher::Connect(Clock::time_point now) {
  client_ = mosquitto_new(ClientId(options_.site, options_.sensor).c_str(), true, this);
  if (client_ == nullptr) {
    Lost(now, "cannot make an MQTT client: " + std::string(std::strerror(errno)));
    return;
  }
  mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION,
                       options_.v311 ? MQTT_PROTOCOL_V311 : MQTT_PROTOCOL_V5);
  mosquitto_connect_v5_callback_set(client_, &MqttPublisher::OnConnect);
  mosquitto_publish_v5_callback_set(client_, &MqttPublisher::OnPublish);
  mosquitto_log_callback_set(client_, &MqttPublisher::OnLog);
  mosquitto_message_v5_callback_set(client_, &MqttPublisher::OnMessage);
  mosquitto_will_set_v5(client_, topics_.State().c_str(), static_cast<int>(std::strlen(kOfflineState)),
                        kOfflineState, kQos, true, nullptr);
  const BrokerAddress& b = options_.broker;
  if (!b.user.empty())
    mosquitto_username_pw_set(client_, b.user.c_str(), b.has_password ? b.password.c_str() : nullptr);
  if (b.tls) {
    const int rc = mosquitto_tls_set(client_, options_.ca.c_str(), nullptr,
                                     options_.cert.empty() ? nullptr : options_.cert.c_str(),
                                     options_.key.empty() ? nullptr : options_.key.c_str(), nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
      Refused("TLS files: " + ErrorText(rc));
      Lost(now, "");
      return;
    }
  }
  connack_ok_ = false;
  refusal_.clear();
  last_tls_error_.clear();
  state_ = State::Connecting;
  connect_deadline_ = now + kConnackWait;
  const int rc = mosquitto_connect_async(client_, b.host.c_str(), b.port, kKeepAliveSeconds);
  if (rc != MOSQ_ERR_SUCCESS) Lost(now, ErrorText(rc));
}

void MqttPublisher::AfterConnect(Clock::time_point now) {
  state_ = State::Connected;
  backoff_.Answered();
  Say(std::string(ever_connected_ ? "back on the broker " : "publishing to the broker ") +
      options_.broker.Where() + " as " + topics_.base);
  ever_connected_ = true;
  last_problem_.clear();
  // The broker may have lost its retained messages (a restart without
  // persistence): they are sent again on every connection.
  if (options_.ha_discovery)
    for (const RetainedMessage& m :
         DiscoveryMessages("homeassistant", options_.site, options_.sensor, topics_))
      PublishRetained(m.topic, m.payload);
  // A clean session forgets the subscription with the connection.
  mosquitto_subscribe_v5(client_, nullptr, topics_.Acks().c_str(), kQos, 0, nullptr);
  state_dirty_ = status_dirty_ = history_dirty_ = true;
  history_pacer_.Forget();
  // Sending first makes room, so the report does not push out another event.
  Pump(now);
  ReportDrops();
}

void MqttPublisher::Lost(Clock::time_point now, const std::string& reason) {
  if (client_ != nullptr) {
    mosquitto_destroy(client_);
    client_ = nullptr;
  }
  const bool was_connected = state_ == State::Connected;
  state_ = State::Idle;
  // Unacknowledged messages go again, first, on the next connection; a
  // consumer drops the duplicates by `seq`.
  std::deque<OutMessage> again;
  for (Sent& s : in_flight_) again.push_back(std::move(s.message));
  in_flight_.clear();
  queue_.Requeue(std::move(again));
  const DropCounts dropped = queue_.TakeDrops();
  unreported_.events += dropped.events;
  unreported_.files += dropped.files;
  unreported_.samples += dropped.samples;

  if (was_connected) backoff_.Answered();
  backoff_.Failed(now);
  if (!reason.empty() && reason != last_problem_) {
    last_problem_ = reason;
    Say("the broker " + options_.broker.Where() + ": " + reason +
        "; recording goes on, publishing resumes when it is back");
  }
}

void MqttPublisher::Refused(const std::string& reason) {
  if (reason == last_problem_) return;
  last_problem_ = reason;
  const BrokerAddress& b = options_.broker;
  // A login refused for want of a password says how to give one.
  const std::string hint = !b.user.empty() && !b.has_password && reason.rfind("TLS", 0) != 0
                               ? " (no password was given for " + b.user +
                                     ": set it in the environment variable " + kMqttPasswordVariable + ")"
                               : "";
  Say("the broker " + b.Where() + " refused this recorder: " + reason + hint +
      "; recording goes on locally, retrying every 30 s");
  journal_.Write(Event::MqttRefused, {{"broker", options_.broker.Where()}, {"reason", reason}});
  // A login or a certificate does not mend itself in a second.
  backoff_.Refused();
}

void MqttPublisher::Pump(Clock::time_point now, bool history_now) {
  if (state_dirty_) {
    state_dirty_ = false;
    PublishRetained(topics_.State(), EventText(sensor_.StateJson()));
  }
  if (status_dirty_) {
    status_dirty_ = false;
    PublishRetained(topics_.Status(), EventText(sensor_.StatusJson()));
  }
  while (!queue_.Empty() && in_flight_.size() < kInFlight) {
    int mid = 0;
    if (!Publish(queue_.Front(), &mid)) break;
    // A summary (QoS 0) is acknowledged by nobody: sent is done.
    if (queue_.Front().kind == MessageKind::Sample) {
      queue_.TakeFront();
    } else {
      in_flight_.push_back({mid, queue_.TakeFront()});
    }
  }
  // After the events, so that a page reads `start` before the history.
  // The history was once one message: a page must not be shown a stale one.
  if (!old_history_cleared_) old_history_cleared_ = PublishRetained(topics_.History(), "");
  if (history_dirty_) {
    bool failed = false, waiting = false;
    for (const std::vector<HistoryMessage>* list :
         {&acks_.History().Messages(), &acks_.History().OpenMessages()}) {
      for (const HistoryMessage* m : history_pacer_.Due(*list, now, history_now)) {
        failed = !PublishRetained(topics_.base + "/" + m->topic, m->payload);
        if (failed) break;
        history_pacer_.Sent(*m, now);
      }
      waiting = waiting || history_pacer_.Waiting();
      if (failed) break;
    }
    history_dirty_ = failed || waiting;
  }
}

void MqttPublisher::TakeAcks() {
  const auto received = std::exchange(incoming_, {});
  for (const Incoming& in : received) {
    const AckDecision d = acks_.Decide(in.login, in.payload, std::chrono::system_clock::now());
    // The accepted `ack` reaches the book back through the journal's observer.
    if (d.kind != AckDecision::Kind::Ignore) journal_.Write(d.event, d.fields);
  }
}

bool MqttPublisher::Publish(const OutMessage& message, int* mid) {
  mosquitto_property* properties = nullptr;
  if (options_.v311) {
    // No properties in 3.1.1: the file's name is in its wrapper.
  } else if (message.kind == MessageKind::File) {
    mosquitto_property_add_string_pair(&properties, MQTT_PROP_USER_PROPERTY, "name",
                                       message.file_name.c_str());
    mosquitto_property_add_string(&properties, MQTT_PROP_CONTENT_TYPE, "application/octet-stream");
  } else {
    mosquitto_property_add_string(&properties, MQTT_PROP_CONTENT_TYPE, "application/json");
  }
  const int qos = message.kind == MessageKind::Sample ? 0 : kQos;
  const int rc =
      mosquitto_publish_v5(client_, mid, message.topic.c_str(), static_cast<int>(message.payload.size()),
                           message.payload.data(), qos, false, properties);
  mosquitto_property_free_all(&properties);
  if (rc == MOSQ_ERR_SUCCESS) return true;
  if (rc == MOSQ_ERR_OVERSIZE_PACKET || rc == MOSQ_ERR_PAYLOAD_SIZE || rc == MOSQ_ERR_MALFORMED_UTF8 ||
      rc == MOSQ_ERR_QOS_NOT_SUPPORTED) {
    // The broker will never take this one: it must not hold up the rest.
    Say("the broker " + options_.broker.Where() + " cannot take a message on " + message.topic + ": " +
        ErrorText(rc));
    OutMessage dropped = queue_.TakeFront();
    (dropped.kind == MessageKind::File ? unreported_.files : unreported_.events) += 1;
  }
  return false;
}

bool MqttPublisher::PublishRetained(const std::string& topic, const std::string& payload) {
  return mosquitto_publish_v5(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                              payload.data(), kQos, true, nullptr) == MOSQ_ERR_SUCCESS;
}

void MqttPublisher::Say(const std::string& text) { say_("tarvin9-recorder: " + text); }

void MqttPublisher::ReportDrops() {
  if (unreported_.Total() == 0) return;
  const DropCounts d = std::exchange(unreported_, DropCounts{});
  journal_.Write(Event::MqttDropped, {{"events", d.events}, {"files", d.files}, {"samples", d.samples}});
}

void MqttPublisher::Stop(Clock::duration drain) {
  const Clock::time_point until = Clock::now() + drain;
  // A connection under way is let finish: the broker hears even a recorder
  // that ends at once (a port that would not open).
  while (state_ == State::Connecting && Clock::now() < until) {
    Step(Clock::now());
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (state_ == State::Connected) {
    TakeAcks();
    Pump(Clock::now(), true);
    ReportDrops();
    int offline_mid = 0;
    mosquitto_publish_v5(client_, &offline_mid, topics_.State().c_str(),
                         static_cast<int>(std::strlen(kOfflineState)), kOfflineState, kQos, true, nullptr);
    in_flight_.push_back({offline_mid, {MessageKind::Event, topics_.State(), kOfflineState, ""}});
    while (Clock::now() < until && state_ == State::Connected && !(queue_.Empty() && in_flight_.empty())) {
      if (mosquitto_loop(client_, 10, 1) != MOSQ_ERR_SUCCESS) break;
      // Taken by the broker already: journalled, though after the `stop`.
      TakeAcks();
      Pump(Clock::now());
    }
    mosquitto_disconnect_v5(client_, MQTT_RC_NORMAL_DISCONNECTION, nullptr);
    mosquitto_loop(client_, 10, 1);
  }
  const std::size_t left = queue_.Size() + in_flight_.size();
  if (left > 0)
    Say(std::to_string(left) + " messages never reached the broker " + options_.broker.Where() +
        " (the journal has the events)");
  if (client_ != nullptr) mosquitto_destroy(client_);
  client_ = nullptr;
  state_ = State::Idle;
}

void MqttPublisher::OnConnect(mosquitto*, void* self, int reason, int, const mqtt5__property*) {
  auto* p = static_cast<MqttPublisher*>(self);
  if (reason == 0) {
    p->connack_ok_ = true;
  } else {
    p->refusal_ = WithoutFullStop(p->options_.v311 ? mosquitto_connack_string(reason)
                                                   : mosquitto_reason_string(reason));
  }
}

void MqttPublisher::OnPublish(mosquitto*, void* self, int mid, int, const mqtt5__property*) {
  auto* p = static_cast<MqttPublisher*>(self);
  // A refusal code in the acknowledgement (not authorised) is final too: the
  // message is not sent again.
  const auto it =
      std::find_if(p->in_flight_.begin(), p->in_flight_.end(), [mid](const Sent& s) { return s.mid == mid; });
  if (it != p->in_flight_.end()) p->in_flight_.erase(it);
}

void MqttPublisher::OnMessage(mosquitto*, void* self, const mosquitto_message* m, const mqtt5__property*) {
  auto* p = static_cast<MqttPublisher*>(self);
  const std::string topic = m->topic != nullptr ? m->topic : "";
  const std::string& prefix = p->ack_prefix_;
  // A retained acknowledgement is an old one the broker keeps, handed out
  // again at every subscription: a replay.
  if (m->retain || topic.compare(0, prefix.size(), prefix) != 0 || p->incoming_.size() >= kIncomingMax)
    return;
  const char* bytes = static_cast<const char*>(m->payload);
  p->incoming_.push_back(
      {topic.substr(prefix.size()),
       bytes != nullptr ? std::string(bytes, static_cast<std::size_t>(m->payloadlen)) : ""});
}

void MqttPublisher::OnLog(mosquitto*, void* self, int level, const char* text) {
  if (level != MOSQ_LOG_ERR || text == nullptr) return;
  auto* p = static_cast<MqttPublisher*>(self);
  // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
  if (std::strstr(text, "OpenSSL") != nullptr || std::strstr(text, "SSL") != nullptr) {
    const char* colon = std::strstr(text, "]: ");
    p->last_tls_error_ = colon != nullptr ? colon + 3 : text;
  }
}

}  // namespace tarvin
