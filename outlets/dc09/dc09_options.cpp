#include "outlets/dc09/dc09_options.h"

#include <regex>

namespace tarvin {

std::optional<Dc09Endpoint> ParseDc09Url(const std::string& url, std::string* error) {
  static const std::regex form(R"((tcp|udp)://(\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9._-]+):([0-9]{1,5}))");
  std::smatch m;
  if (!std::regex_match(url, m, form)) {
    *error = "\"" + url + "\" is not tcp://HOST:PORT or udp://HOST:PORT";
    return std::nullopt;
  }
  const int port = std::stoi(m[3].str());
  if (port < 1 || port > 65535) {
    *error = "\"" + url + "\": the port is 1 to 65535";
    return std::nullopt;
  }
  Dc09Endpoint endpoint;
  endpoint.transport = m[1].str() == "udp" ? Dc09Endpoint::Transport::Udp : Dc09Endpoint::Transport::Tcp;
  endpoint.host = m[2].str();
  if (endpoint.host.front() == '[') endpoint.host = endpoint.host.substr(1, endpoint.host.size() - 2);
  endpoint.port = static_cast<uint16_t>(port);
  endpoint.url = url;
  return endpoint;
}

namespace {

bool Hex(const std::string& text, std::size_t least, std::size_t most) {
  static const std::regex form("[0-9A-Fa-f]*");
  return text.size() >= least && text.size() <= most && std::regex_match(text, form);
}

bool Fail(std::string* option, std::string* error, const char* which, std::string why) {
  *option = which;
  *error = std::move(why);
  return false;
}

}  // namespace

bool FinishDc09Options(Dc09Options* o, std::string* option, std::string* error) {
  if (o->url.empty()) {
    if (!o->backup_url.empty())
      return Fail(option, error, "--dc09-backup", "a backup path needs the main one, --dc09");
    return true;
  }
  auto main = ParseDc09Url(o->url, error);
  if (!main) return Fail(option, error, "--dc09", *error);
  o->main = *main;
  if (!o->backup_url.empty()) {
    o->backup = ParseDc09Url(o->backup_url, error);
    if (!o->backup) return Fail(option, error, "--dc09-backup", *error);
  }
  if (o->account.empty())
    return Fail(option, error, "--dc09-account", "the centre's account for this site is required");
  if (!Hex(o->account, 3, 16))
    return Fail(option, error, "--dc09-account", "\"" + o->account + "\" is not 3 to 16 hex digits");
  // The centre's tables key on upper case; the receiver echoes what it got.
  for (char& c : o->account) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!o->receiver.empty() && !Hex(o->receiver, 1, 6))
    return Fail(option, error, "--dc09-receiver", "\"" + o->receiver + "\" is not 1 to 6 hex digits");
  if (!Hex(o->prefix, 1, 6))
    return Fail(option, error, "--dc09-prefix", "\"" + o->prefix + "\" is not 1 to 6 hex digits");
  if (o->format != "sia" && o->format != "cid")
    return Fail(option, error, "--dc09-format", "\"" + o->format + "\" is neither sia nor cid");
  o->message_format = o->format == "cid" ? Dc09Format::Cid : Dc09Format::Sia;
  if (!kDc09ZoneRange.Holds(o->zone))
    return Fail(option, error, "--dc09-zone", std::to_string(o->zone) + " is not 1 to 999");
  if (!kDc09NullRange.Holds(o->null_seconds))
    return Fail(option, error, "--dc09-null",
                std::to_string(o->null_seconds) + " is not 0 (off) or 1 to 86400 seconds");
  for (const std::string& entry : o->codes)
    if (!o->code_table.Set(entry, error)) return Fail(option, error, "--dc09-code", *error);
  if (!o->key_file.empty()) {
    o->key = ReadDc09Key(o->key_file, error);
    if (!o->key) return Fail(option, error, "--dc09-key", *error);
  }
  return true;
}

}  // namespace tarvin
