// How the recorder reaches its alarm receiving centre: the paths, who it is
// to the centre, what it sends and how it keeps the line supervised. Checked
// whole at start: a recorder that cannot report must say so before it runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/number_range.h"
#include "outlets/dc09/dc09_cipher.h"
#include "outlets/dc09/dc09_codes.h"
#include "outlets/dc09/dc09_frame.h"

namespace tarvin {

struct Dc09Endpoint {
  enum class Transport { Tcp, Udp };
  Transport transport = Transport::Tcp;
  std::string host;
  uint16_t port = 0;
  std::string url;  // as given, for the journal and the console
};

// tcp://HOST:PORT or udp://HOST:PORT (an IPv6 host in brackets); nothing,
// with why, for anything else.
std::optional<Dc09Endpoint> ParseDc09Url(const std::string& url, std::string* error);

enum class Dc09Format { Sia, Cid };

inline constexpr NumberRange kDc09ZoneRange{1, 999};
inline constexpr NumberRange kDc09NullRange{0, 86400};  // 0: no supervision

struct Dc09Options {
  // As given: none while `url` is empty.
  std::string url;
  std::string backup_url;
  std::string account;
  std::string receiver;
  std::string prefix = "0";
  std::string format = "sia";
  int zone = 1;
  std::string key_file;
  int null_seconds = 0;
  std::vector<std::string> codes;  // a site's own codes: alarm=BA/E131

  // Made from the above by FinishDc09Options.
  Dc09Endpoint main;
  std::optional<Dc09Endpoint> backup;
  Dc09Format message_format = Dc09Format::Sia;
  std::optional<Dc09Key> key;
  Dc09Codes code_table;
  Dc09Sender Sender() const { return {receiver, prefix, account}; }
};

// Checks the options and makes their parts; false with the option at fault
// and why. Reads the key file.
bool FinishDc09Options(Dc09Options* options, std::string* option, std::string* error);

}  // namespace tarvin
