// The sensor's side of the command exchange: what it stores and how it answers.
// It works on words; turning them into characters is the frame codec's job.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvin::sim {

// Largest frame the sensor sends: the version reply (head, 14 data words, checksum).
constexpr uint16_t kMaxReplyWords = 16;

struct SensorSettings {
  uint16_t version = 0x0002;  // firmware 2.0: low byte major, high byte minor
  uint16_t direct = 30;       // threshold's constant component
  uint16_t buffer = 56;       // threshold's buffer length
  uint16_t address = 1;       // RS-485 network address
  uint16_t balance = 0x00;    // flank-balance bits 0x30 of the status word
  uint16_t flags = 0;         // mode word; bit 0 chart transmission
};

// The moment's conditions that shape a reply.
struct SensorMoment {
  bool busy = false;
  bool alarm = false;
};

class Sensor {
 public:
  explicit Sensor(const SensorSettings& settings) : s_(settings) {}

  // Answers a command body that passed its LRC check (characters between ':' and
  // CR). Writes the reply's words, checksum word last, and returns their count;
  // 0 when the sensor does not answer (unknown code, body too short).
  uint16_t Answer(const char* body, std::size_t length, const SensorMoment& now, uint16_t* out);

  // A status reply, also the one sent unasked.
  uint16_t StatusReply(const SensorMoment& now, uint16_t* out) const;

  bool Streaming() const { return (s_.flags & 1u) != 0; }
  SensorSettings& Settings() { return s_; }
  const SensorSettings& Settings() const { return s_; }

 private:
  SensorSettings s_;
};

// Appends the checksum word to words[0..n-1] and returns n + 1.
uint16_t Seal(uint16_t* words, uint16_t n);

}  // namespace tarvin::sim
