#include "outlets/mqtt/broker_address.h"

#include <cctype>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "base/hex_digit.h"

namespace tarvin {
namespace {

bool PercentDecode(const std::string& in, std::string* out) {
  out->clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      *out += in[i];
      continue;
    }
    if (i + 2 >= in.size()) return false;
    const int high = HexDigitValue(in[i + 1]);
    const int low = HexDigitValue(in[i + 2]);
    if (high < 0 || low < 0) return false;
    *out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

bool ParsePort(const std::string& text, int* port) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  *port = value;
  return true;
}

// A host name or an IPv4 address holds ASCII letters, digits, '.', '-' and
// '_'; a bracketed IPv6 address hex digits, ':', '.' and a '%' zone.
bool HostCharactersFit(const std::string& host, bool v6) {
  for (const unsigned char c : host) {
    const bool fits = c < 0x80 && (std::isalnum(c) != 0 || c == '.' || c == '-' || c == '_' ||
                                   (v6 && (c == ':' || c == '%')));
    if (!fits) return false;
  }
  return true;
}

}  // namespace

std::string BrokerAddress::Where() const {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool ParseBrokerUrl(const std::string& url, BrokerAddress* address, std::string* error) {
  BrokerAddress a;
  std::string rest;
  if (url.rfind("mqtt://", 0) == 0) {
    rest = url.substr(7);
  } else if (url.rfind("mqtts://", 0) == 0) {
    a.tls = true;
    rest = url.substr(8);
  } else {
    *error = "must begin with mqtt:// or mqtts://";
    return false;
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (rest.find_first_of("/?#") != std::string::npos) {
    *error = "takes no path, query or fragment after the host";
    return false;
  }
  // The last '@' ends the login, so a password may hold one.
  const auto at = rest.rfind('@');
  if (at != std::string::npos) {
    const std::string login = rest.substr(0, at);
    rest = rest.substr(at + 1);
    const auto colon = login.find(':');
    if (!PercentDecode(login.substr(0, colon), &a.user) ||
        (colon != std::string::npos && !PercentDecode(login.substr(colon + 1), &a.password))) {
      *error = "a bad %-escape in the user or password";
      return false;
    }
    a.has_password = colon != std::string::npos;
    if (a.user.empty()) {
      *error = "names a password but no user";
      return false;
    }
  }
  std::string port_text;
  const bool v6 = !rest.empty() && rest[0] == '[';
  if (v6) {
    const auto close = rest.find(']');
    if (close == std::string::npos || (close + 1 < rest.size() && rest[close + 1] != ':')) {
      *error = "a bracketed IPv6 host must end with ']' and may only be followed by :port";
      return false;
    }
    a.host = rest.substr(1, close - 1);
    if (close + 1 < rest.size()) port_text = rest.substr(close + 2);
    if (close + 1 < rest.size() && port_text.empty()) port_text = "x";
  } else {
    const auto colon = rest.find(':');
    a.host = rest.substr(0, colon);
    if (colon != std::string::npos) port_text = colon + 1 < rest.size() ? rest.substr(colon + 1) : "x";
  }
  if (a.host.empty()) {
    *error = "names no host";
    return false;
  }
  if (!HostCharactersFit(a.host, v6)) {
    *error = "names the host \"" + a.host + "\", which is not a host name or an IP address";
    return false;
  }
  a.port = a.tls ? 8883 : 1883;
  if (!port_text.empty() && !ParsePort(port_text, &a.port)) {
    *error = "the port must be a number from 1 to 65535";
    return false;
  }
  *address = a;
  return true;
}

std::string TopicNameProblem(const std::string& name) {
  if (name.empty()) return "must not be empty";
  for (const char c : name) {
    if (c == '+' || c == '#') return "must not hold the MQTT wildcards + or #";
    if (c == '/') return "must not hold '/', which separates topic levels";
    if (c == '\0') return "must not hold a NUL character";
  }
  return "";
}

std::string HostName() {
#ifdef _WIN32
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (GetComputerNameA(name, &size)) return std::string(name, size);
  return "localhost";
#else
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
#endif
}

std::string SensorNameOfPort(const std::string& port) {
  const auto slash = port.find_last_of("/\\");
  std::string name = slash == std::string::npos ? port : port.substr(slash + 1);
  return name.empty() ? port : name;
}

}  // namespace tarvin
