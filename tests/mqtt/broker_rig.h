// What the broker tests run against: a real mosquitto on 127.0.0.1 on a free
// port with a config file of the test's own, a subscriber that collects every
// message it gets.
#pragma once

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/read_text.h"

namespace tarvin::testing {

inline constexpr auto kGenerous = std::chrono::seconds(20);

// Adds `user` with `password` to the broker's password file, making the file
// when there is none yet.
inline bool AddLogin(const std::string& passwords, const std::string& user, const std::string& password) {
  std::vector<std::string> args = {"mosquitto_passwd", "-b", passwords, user, password};
  if (!std::ifstream(passwords)) args.insert(args.begin() + 2, "-c");
  return RunProgram(args).exit_code == 0;
}

// The journal's events, one object a line.
inline std::vector<nlohmann::json> JournalEvents(const std::string& path) {
  std::vector<nlohmann::json> events;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) events.push_back(nlohmann::json::parse(line, nullptr, false));
  return events;
}

class Broker {
 public:
  // `extra` goes into the config file (a password file, persistence).
  Broker(std::string dir, std::string extra = "") : dir_(std::move(dir)), extra_(std::move(extra)) {
    port_ = FreePort();
  }
  ~Broker() { Stop(); }

  bool Start() {
    const std::string config = dir_ + "mosquitto.conf";
    // Run as root (a container), mosquitto would switch to its own user and
    // could no longer write the test's folder.
    std::ofstream(config) << (::geteuid() == 0 ? "user root\n" : "") << "listener " << port_ << " 127.0.0.1\n"
                          << "log_dest file " << dir_
                          << "mosquitto.log\n"
                          // The tests' watcher takes every message at QoS 1; with the
                          // broker's default bound of 1,000 queued for one client, a
                          // backlog flushed in one burst would be thinned by the broker
                          // on the watcher's side, not by the publisher under test.
                          << "max_queued_messages 0\n"
                          << extra_ << "\n";
    ChildOptions options;
    options.output = dir_ + "mosquitto.out";
    if (!process_.Start({"/usr/sbin/mosquitto", "-c", config}, options)) return false;
    // Ready once it takes a connection.
    const auto until = std::chrono::steady_clock::now() + kGenerous;
    while (std::chrono::steady_clock::now() < until) {
      if (Accepts()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  void Stop() { process_.End(); }
  int Port() const { return port_; }
  std::string Url(const std::string& login = "") const {
    return "mqtt://" + (login.empty() ? "" : login + "@") + "127.0.0.1:" + std::to_string(port_);
  }
  std::string Log() const { return ReadText(dir_ + "mosquitto.log") + ReadText(dir_ + "mosquitto.out"); }

 private:
  static int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(s);
    return ntohs(a.sin_port);
  }
  bool Accepts() const {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port_));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
  }

  std::string dir_, extra_;
  int port_ = 0;
  ChildProcess process_;
};

struct Received {
  std::string topic;
  std::string payload;
  bool retained = false;
  std::string name;  // the "name" user property, if any
  nlohmann::json Json() const { return nlohmann::json::parse(payload, nullptr, false); }
};

// Subscribes to tarvin9/# (QoS 1) on its own network thread. With
// `persistent`, its session outlives a disconnection (clean session off), so
// a broker with persistence keeps what arrives while it is away.
class Subscriber {
 public:
  struct Login {
    std::string user, password;
  };
  explicit Subscriber(int port, bool persistent = false, const Login& login = {},
                      std::string topic = "tarvin9/#")
      : topic_(std::move(topic)) {
    mosquitto_lib_init();
    static int serial = 0;
    const std::string id = "test-sub-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    client_ = mosquitto_new(id.c_str(), !persistent, this);
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION,
                         persistent ? MQTT_PROTOCOL_V311 : MQTT_PROTOCOL_V5);
    mosquitto_connect_v5_callback_set(client_,
                                      [](mosquitto* m, void* self, int rc, int, const mosquitto_property*) {
                                        auto* s = static_cast<Subscriber*>(self);
                                        if (rc == 0) mosquitto_subscribe(m, nullptr, s->topic_.c_str(), 1);
                                      });
    mosquitto_subscribe_v5_callback_set(
        client_, [](mosquitto*, void* self, int, int, const int*, const mosquitto_property*) {
          auto* s = static_cast<Subscriber*>(self);
          std::lock_guard<std::mutex> lock(s->mutex_);
          ++s->subscribed_;
          s->changed_.notify_all();
        });
    mosquitto_message_v5_callback_set(client_, [](mosquitto*, void* self, const mosquitto_message* m,
                                                  const mosquitto_property* props) {
      auto* s = static_cast<Subscriber*>(self);
      Received r{m->topic,
                 std::string(static_cast<const char*>(m->payload), static_cast<std::size_t>(m->payloadlen)),
                 m->retain, ""};
      char* name = nullptr;
      char* value = nullptr;
      if (mosquitto_property_read_string_pair(props, MQTT_PROP_USER_PROPERTY, &name, &value, false) !=
              nullptr &&
          name != nullptr && std::strcmp(name, "name") == 0 && value != nullptr)
        r.name = value;
      std::free(name);
      std::free(value);
      std::lock_guard<std::mutex> lock(s->mutex_);
      s->messages_.push_back(std::move(r));
      s->changed_.notify_all();
    });
    if (!login.user.empty()) mosquitto_username_pw_set(client_, login.user.c_str(), login.password.c_str());
    mosquitto_reconnect_delay_set(client_, 1, 1, false);
    mosquitto_connect_async(client_, "127.0.0.1", port, 20);
    mosquitto_loop_start(client_);
  }
  ~Subscriber() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, true);
    mosquitto_destroy(client_);
  }

  // Waits (generously) until the broker has confirmed a subscription.
  bool WaitSubscribed(int times = 1) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kGenerous, [&] { return subscribed_ >= times; });
  }
  // Waits (generously) until a message satisfies `want`; returns it.
  bool WaitFor(const std::function<bool(const Received&)>& want, Received* found = nullptr) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kGenerous, [&] {
      for (const Received& r : messages_)
        if (want(r)) {
          if (found != nullptr) *found = r;
          return true;
        }
      return false;
    });
  }
  // Whether a message satisfying `want` has come, without waiting.
  bool Has(const std::function<bool(const Received&)>& want) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Received& r : messages_)
      if (want(r)) return true;
    return false;
  }
  // An event of that name on a topic ending in /event.
  bool WaitForEvent(const std::string& event, Received* found = nullptr) {
    return WaitFor(
        [&](const Received& r) {
          return EndsWith(r.topic, "/event") && r.Json().value("event", "") == event;
        },
        found);
  }
  std::vector<Received> Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

  static bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  }

 private:
  std::string topic_;
  mosquitto* client_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Received> messages_;
  int subscribed_ = 0;
};

}  // namespace tarvin::testing
