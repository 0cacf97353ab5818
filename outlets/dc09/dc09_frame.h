// SIA DC-09 frames as they go on the wire: the message a recorder sends and
// the receiver's answer. A frame is LF, the CRC-16 (reflected 0xA001
// polynomial, start 0) of its body as four upper-case hex digits, "0" and the
// body's length as three, the body, CR. The body is the id in quotes, the
// sequence number, the receiver, prefix and account, the data in brackets,
// the extended data and the UTC timestamp:
//   "SIA-DCS"0001R1L0#1234[#1234|Nri1/BA001][H04:01:02,12-10-2026]_04:01:05,12-10-2026
// With a key, the part after the account's "[" travels encrypted as hex.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outlets/dc09/dc09_cipher.h"

namespace tarvin {

using SystemTime = std::chrono::system_clock::time_point;

// CRC-16 of `body` as four upper-case hex digits.
std::string Dc09Crc(std::string_view body);
// "HH:MM:SS,MM-DD-YYYY" in UTC.
std::string Dc09Timestamp(SystemTime time);
// The time a "HH:MM:SS,MM-DD-YYYY" names (UTC); nothing for anything else.
std::optional<SystemTime> ParseDc09Timestamp(std::string_view text);

// Who a message is from: the receiver and line prefix the centre gave (hex,
// the receiver may be empty), and the site's account.
struct Dc09Sender {
  std::string receiver;
  std::string prefix = "0";
  std::string account;
};

struct Dc09Message {
  std::string id;        // "SIA-DCS", "ADM-CID" or "NULL"; "*" is added when encrypted
  int seq = 1;           // 1..9999
  std::string data;      // after "#acct|" in the brackets; empty for NULL
  std::string extended;  // a whole extended-data block, "[H...]", or empty
};

// The whole frame, timestamped `sent`. With `key`, encrypted, its pad
// characters drawn afresh for this frame.
std::string BuildDc09Frame(const Dc09Sender& sender, const Dc09Message& message, SystemTime sent,
                           const Dc09Key* key);

struct Dc09Answer {
  enum class Kind { Ack, Nak, Duh, Other };
  Kind kind = Kind::Other;
  int seq = 0;
  std::string receiver, prefix, account;
  std::optional<SystemTime> receiver_time;  // the timestamp, when it has one
  bool encrypted = false;
};

// Takes every whole frame off the front of `buffer` (what came so far),
// leaving a frame still arriving. A frame whose CRC or length is wrong, or
// whose encrypted part does not open with `key`, is dropped: the message is
// then as good as unanswered.
std::vector<Dc09Answer> TakeDc09Answers(std::string* buffer, const Dc09Key* key);

}  // namespace tarvin
