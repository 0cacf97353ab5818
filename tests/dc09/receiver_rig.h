// What the DC-09 tests report to: an alarm receiving centre's receiver
// written by others (tests/dc09/receiver/receiver.js over iobroker.sia), run
// by node on 127.0.0.1, that can be stopped and started again on the same
// port. Everything it says, one JSON object a line, is read back from the
// files its runs wrote, in order, across its runs.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/read_text.h"

namespace tarvin::testing {

// Long enough for a recorder's reconnect backoff (30 s at most) and a busy machine.
inline constexpr auto kReceiverPatience = std::chrono::seconds(60);

struct ReceiverOptions {
  std::string protocol = "tcp";  // or "udp"
  std::string account;           // 3-16 hex digits
  std::string key_hex;           // the AES key as hex digits; with key_text empty too: plain
  std::string key_text;          // the AES key as characters used as bytes
  bool sockend = false;          // closes the TCP connection after each answer
  int ahead_s = 0;               // its clock ahead of ours
  int timeout_s = 20;            // how far a message's timestamp may be from its clock, either way
};

// What one message reports, read from its data as the receiver gave it
// (`#ACCT|Nri1/BA007`, `#ACCT|1131 01 007`, without the `#ACCT|` when it came
// encrypted): the SIA event code ("BA") or
// the Contact ID qualifier and event ("E131", "R131"), and the zone.
struct Reported {
  std::string code;
  int zone = -1;  // none given
};

inline std::optional<Reported> ReportedIn(const nlohmann::json& message) {
  const std::string data = message.value("data_message", "");
  static const std::regex contact_id(R"((?:^|\|)([136])(\d{3}) (\d{2}) (\d{3})$)");
  static const std::regex sia(R"((?:^|\|)N(?:[a-z]{2}[^/]*/)*([A-Z]{2})(\d{0,4}))");
  std::smatch m;
  if (std::regex_search(data, m, contact_id))
    return Reported{std::string(m[1] == "1" ? "E" : m[1] == "3" ? "R" : "P") + m[2].str(), std::stoi(m[4])};
  if (std::regex_search(data, m, sia)) return Reported{m[1], m[2].length() > 0 ? std::stoi(m[2]) : -1};
  return std::nullopt;
}

class Receiver {
 public:
  Receiver(std::string dir, ReceiverOptions options) : dir_(std::move(dir)), options_(std::move(options)) {}
  ~Receiver() { Stop(); }
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  // Starts it on `port` (0: one the system picks, Port() after) and waits
  // until it listens. False when it did not: Said() tells why.
  bool Start(int port = 0) {
    const std::string program = std::string(TARVIN_DC09_RECEIVER) + "/receiver.js";
    if (!std::filesystem::exists(std::string(TARVIN_DC09_RECEIVER) + "/node_modules/iobroker.sia")) {
      failure_ = "the receiver's packages are not installed: run scripts/dc09-receiver.sh";
      return false;
    }
    std::vector<std::string> args = {"node",       program,
                                     "--protocol", options_.protocol,
                                     "--port",     std::to_string(port),
                                     "--account",  options_.account,
                                     "--ahead",    std::to_string(options_.ahead_s),
                                     "--timeout",  std::to_string(options_.timeout_s)};
    if (!options_.key_hex.empty()) args.insert(args.end(), {"--key", options_.key_hex});
    if (!options_.key_text.empty()) args.insert(args.end(), {"--key-text", options_.key_text});
    if (options_.sockend) args.push_back("--sockend");
    ChildOptions child;
    child.output = RunFile(runs_, ".out");
    child.errors = RunFile(runs_, ".err");
    ++runs_;
    if (!process_.Start(args, child)) {
      failure_ = "node could not be started";
      return false;
    }
    return WaitListening();
  }
  // Again on the port it had.
  bool Restart() { return Start(port_); }
  void Stop() { process_.End(); }

  int Port() const { return port_; }
  std::string Url() const { return options_.protocol + "://127.0.0.1:" + std::to_string(port_); }

  // Every line of every run, in order.
  std::vector<nlohmann::json> Lines() const {
    std::vector<nlohmann::json> lines;
    for (int run = 0; run < runs_; ++run) {
      std::istringstream in(ReadText(RunFile(run, ".out")));
      for (std::string line; std::getline(in, line);) {
        nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_object()) lines.push_back(std::move(j));
      }
    }
    return lines;
  }
  // The values of the lines that hold `kind` ("message", "frame", "error"), in order.
  std::vector<nlohmann::json> All(const std::string& kind) const {
    std::vector<nlohmann::json> found;
    for (const nlohmann::json& line : Lines())
      if (line.contains(kind)) found.push_back(line[kind]);
    return found;
  }
  // Waits until a message it acknowledged satisfies `want`; that message.
  bool WaitForMessage(const std::function<bool(const nlohmann::json&)>& want, nlohmann::json* found = nullptr,
                      std::chrono::seconds patience = kReceiverPatience) const {
    const auto until = std::chrono::steady_clock::now() + patience;
    do {
      for (const nlohmann::json& m : All("message"))
        if (want(m)) {
          if (found != nullptr) *found = m;
          return true;
        }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < until);
    return false;
  }

  // All it said, and why it did not start: for a failing test's output.
  std::string Said() const {
    std::string said = failure_.empty() ? "" : failure_ + "\n";
    for (int run = 0; run < runs_; ++run)
      said += ReadText(RunFile(run, ".out")) + ReadText(RunFile(run, ".err"));
    return said;
  }

 private:
  std::string RunFile(int run, const char* suffix) const {
    return dir_ + "receiver-" + std::to_string(run) + suffix;
  }
  // Its first line says the port it listens on, or why it could not.
  bool WaitListening() {
    const auto until = std::chrono::steady_clock::now() + kReceiverPatience;
    do {
      std::istringstream in(ReadText(RunFile(runs_ - 1, ".out")));
      std::string line;
      if (std::getline(in, line) && in.good()) {
        const nlohmann::json first = nlohmann::json::parse(line, nullptr, false);
        if (first.contains("listening")) {
          port_ = first["listening"].get<int>();
          return true;
        }
        failure_ = "the receiver did not listen: " + line;
        return false;
      }
      if (process_.Ended()) {
        failure_ = "the receiver ended before it listened";
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < until);
    failure_ = "the receiver did not say it listens";
    return false;
  }

  std::string dir_;
  ReceiverOptions options_;
  ChildProcess process_;
  int runs_ = 0;
  int port_ = 0;
  std::string failure_;
};

}  // namespace tarvin::testing
