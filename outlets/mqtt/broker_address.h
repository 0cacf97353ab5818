// Where the recorder publishes: the broker's address as `--mqtt` gives it,
// and the names that make up its topics.
#pragma once

#include <string>

namespace tarvin {

struct BrokerAddress {
  bool tls = false;  // mqtts://
  std::string user;  // empty: no login
  std::string password;
  bool has_password = false;  // an empty password is still one
  std::string host;
  int port = 0;  // 1883, or 8883 with TLS, unless the address names one

  // "host:port", for messages (never the login).
  std::string Where() const;
};

// Parses "mqtt://[user[:password]@]host[:port]" or "mqtts://...". The user
// and the password may be percent-encoded ("%40" for '@'); an IPv6 host is
// written in brackets. False, with *error saying what is wrong, otherwise.
bool ParseBrokerUrl(const std::string& url, BrokerAddress* address, std::string* error);

// Why `name` cannot be one level of a topic (a wildcard, a separator, a NUL,
// empty), or an empty string when it can.
std::string TopicNameProblem(const std::string& name);

// The machine's host name: the default site.
std::string HostName();

// The default sensor name: the port as given ("COM1"), or a device path's
// last element ("/dev/ttyUSB0" -> "ttyUSB0").
std::string SensorNameOfPort(const std::string& port);

}  // namespace tarvin
