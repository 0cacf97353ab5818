#include "outlets/dc09/dc09_frame.h"

#include <openssl/rand.h>

#include <boost/crc.hpp>
#include <cstdio>
#include <ctime>
#include <regex>

namespace tarvin {

namespace {

constexpr char kLf = '\n';
constexpr char kCr = '\r';
// Longer than any answer a receiver sends (an encrypted ACK is about 100).
constexpr std::size_t kLongestAnswer = 1024;

// Pad characters: printable, and none of the "|[]" a receiver splits on.
constexpr std::string_view kPadCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string Pad(std::size_t count) {
  std::string pad(count, 'A');
  std::vector<unsigned char> random(count);
  if (RAND_bytes(random.data(), static_cast<int>(count)) == 1)
    for (std::size_t i = 0; i < count; ++i) pad[i] = kPadCharacters[random[i] % kPadCharacters.size()];
  return pad;
}

std::string Framed(const std::string& body) {
  char length[5];
  std::snprintf(length, sizeof length, "0%03zX", body.size());
  return kLf + Dc09Crc(body) + length + body + kCr;
}

std::string FourDigits(int seq) {
  char text[5];
  std::snprintf(text, sizeof text, "%04d", seq);
  return text;
}

}  // namespace

std::string Dc09Crc(std::string_view body) {
  boost::crc_16_type crc;  // reflected 0x8005 (0xA001), start 0: the CRC DC-09 names
  crc.process_bytes(body.data(), body.size());
  char text[5];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(crc.checksum()));
  return text;
}

std::string Dc09Timestamp(SystemTime time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[24];
  std::strftime(text, sizeof text, "%H:%M:%S,%m-%d-%Y", &utc);
  return text;
}

std::optional<SystemTime> ParseDc09Timestamp(std::string_view text) {
  static const std::regex form(R"((\d\d):(\d\d):(\d\d),(\d\d)-(\d\d)-(\d{4}))");
  std::match_results<std::string_view::const_iterator> m;
  if (!std::regex_match(text.begin(), text.end(), m, form)) return std::nullopt;
  const auto n = [&m](int i) { return std::stoi(m[i].str()); };
  if (n(4) < 1 || n(4) > 12 || n(5) < 1 || n(5) > 31 || n(1) > 23 || n(2) > 59 || n(3) > 60)
    return std::nullopt;
  std::tm utc{};
  utc.tm_year = n(6) - 1900;
  utc.tm_mon = n(4) - 1;
  utc.tm_mday = n(5);
  utc.tm_hour = n(1);
  utc.tm_min = n(2);
  utc.tm_sec = n(3);
#ifdef _WIN32
  const std::time_t seconds = _mkgmtime(&utc);
#else
  const std::time_t seconds = timegm(&utc);
#endif
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return std::chrono::system_clock::from_time_t(seconds);
}

std::string BuildDc09Frame(const Dc09Sender& sender, const Dc09Message& message, SystemTime sent,
                           const Dc09Key* key) {
  std::string head =
      "\"" + std::string(key != nullptr ? "*" : "") + message.id + "\"" + FourDigits(message.seq);
  if (!sender.receiver.empty()) head += "R" + sender.receiver;
  head += "L" + sender.prefix + "#" + sender.account + "[";
  const std::string tail = message.data + "]" + message.extended + "_" + Dc09Timestamp(sent);
  if (key == nullptr) {
    const std::string inside = message.data.empty() ? "" : "#" + sender.account + "|";
    return Framed(head + inside + tail);
  }
  // "|data]x-data_timestamp" after a pad that fills it to whole blocks: a
  // whole block of pad when it is whole already, so there is always some.
  const std::string plain = "|" + tail;
  return Framed(head + key->EncryptHex(Pad(16 - plain.size() % 16) + plain));
}

std::vector<Dc09Answer> TakeDc09Answers(std::string* buffer, const Dc09Key* key) {
  // "ACK"0001R1L0#1234[]  "NAK"0000R0L0A0[]_hh:mm:ss,MM-DD-YYYY  "*ACK"...[HEX
  static const std::regex body_form(
      R"re("(\*?)(ACK|NAK|DUH)"(\d{4})(?:R([0-9A-Fa-f]{0,6}))?(?:L([0-9A-Fa-f]{0,6}))?(?:#([0-9A-Fa-f]{3,16})|A0)?\[(.*))re");
  static const std::regex stamp(R"(_(\d\d:\d\d:\d\d,\d\d-\d\d-\d{4}))");
  std::vector<Dc09Answer> answers;
  for (;;) {
    // A frame is the last LF before a CR and what follows it up to the CR:
    // noise before it (a cut frame, a stray LF) does not take it along.
    const std::size_t end = buffer->find(kCr);
    const std::size_t start = buffer->rfind(kLf, end);
    if (end == std::string::npos) {
      // Only a frame's start is kept, and not past what no answer is as long
      // as: a peer that never ends its frame cannot grow the buffer.
      if (start == std::string::npos || buffer->size() - start > kLongestAnswer)
        buffer->clear();
      else
        buffer->erase(0, start);
      return answers;
    }
    if (start == std::string::npos) {
      buffer->erase(0, end + 1);
      continue;
    }
    const std::string frame = buffer->substr(start + 1, end - start - 1);
    buffer->erase(0, end + 1);
    if (frame.size() < 8) continue;
    const std::string body = frame.substr(8);
    char length[5];
    std::snprintf(length, sizeof length, "0%03zX", body.size());
    std::smatch m;
    if (frame.compare(0, 4, Dc09Crc(body)) != 0 || frame.compare(4, 4, length) != 0 ||
        !std::regex_match(body, m, body_form))
      continue;
    Dc09Answer answer;
    answer.encrypted = m[1].length() > 0;
    const std::string kind = m[2].str();
    answer.kind = kind == "ACK"   ? Dc09Answer::Kind::Ack
                  : kind == "NAK" ? Dc09Answer::Kind::Nak
                                  : Dc09Answer::Kind::Duh;
    answer.seq = std::stoi(m[3].str());
    answer.receiver = m[4].str();
    answer.prefix = m[5].str();
    answer.account = m[6].str();
    std::string rest = m[7].str();
    if (answer.encrypted) {
      // Receivers differ in how they pad an encrypted answer: its timestamp
      // is found by its form, wherever the pad ends.
      const std::size_t hex_end = rest.find_first_not_of("0123456789ABCDEFabcdef");
      const auto opened = key == nullptr ? std::nullopt : key->DecryptHex(rest.substr(0, hex_end));
      if (!opened) continue;
      rest = *opened;
    }
    std::smatch t;
    if (std::regex_search(rest, t, stamp)) answer.receiver_time = ParseDc09Timestamp(t[1].str());
    answers.push_back(std::move(answer));
  }
}

}  // namespace tarvin
