// Queuing commands and writing the one in flight, a byte per write.
#include <algorithm>
#include <cstring>

#include "engine/link_engine.h"
#include "link/frame_codec.h"

namespace tarvin {
void LinkEngine::Enqueue(char start, const uint16_t* words, uint16_t count) {
  if (s_.Queue.Put(start, words, count, s_.AwaitingReply != 0) == PutResult::TooLong) {
    sink_.ShowBox(Message{MessageCode::CommandTooLong});
  }
}

void LinkEngine::QueueCommand(uint16_t head_word, std::initializer_list<uint16_t> data) {
  // CmdWords holds a head word, two data words and the checksum word.
  constexpr std::size_t kMaxData = sizeof s_.CmdWords / sizeof s_.CmdWords[0] - 2;
  if (data.size() > kMaxData) return;
  s_.CmdWords[0] = head_word;
  std::copy(data.begin(), data.end(), s_.CmdWords + 1);
  const auto n = static_cast<uint16_t>(data.size() + 2);
  s_.CmdWords[n - 1] = Calc_KS(s_.CmdWords, static_cast<uint16_t>(n - 1));
  Enqueue(':', s_.CmdWords, n);
}

bool LinkEngine::WriteFrame(char start, const uint16_t* words, uint16_t count) {
  if (count > SIZE_TR_BUF) {
    sink_.ShowBox(Message{MessageCode::FrameTooLong});
    return false;
  }
  if (count < 2 || words == nullptr) return false;  // no frame without a checksum word
  port_.PurgeOutput();

  // The text for Tr_Frame; a frame longer than the label's 100 characters is cut.
  char text[sizeof s_.Tr_Frame];
  std::size_t text_length = 0;
  std::size_t written = 0;
  const auto put = [&](char ch) {
    if (!port_.WriteByte(static_cast<uint8_t>(ch))) return false;
    Bump(s_.Counters.N_tr_byte);
    ++written;
    if (text_length + 1 < sizeof text) text[text_length++] = ch;
    return true;
  };
  const auto digit = [](unsigned nibble) { return Bin_To_Hex(static_cast<int16_t>(nibble & 0xF)); };

  bool ok = put(start);
  for (uint16_t i = 0; ok && i + 1 < count; ++i) {
    const uint16_t w = words[i];
    ok = put(digit(w >> 12)) && put(digit(w >> 8)) && put(digit(w >> 4)) && put(digit(w));
  }
  const uint16_t last = words[count - 1];
  ok = ok && put(digit(last >> 4)) && put(digit(last)) && put('\r') && put('\n');
  if (written != 0) ++s_.DiagGeneration;  // the byte counter moved, whole frame or not
  if (!ok) return false;

  text[text_length] = '\0';
  std::memcpy(s_.Tr_Frame, text, text_length + 1);
  s_.Counters.N_tr_byte_shown = s_.Counters.N_tr_byte;
  Bump(s_.Counters.N_tr_frame);
  s_.AwaitingReply = 1;
  s_.WaitTicks = 0;
  return true;
}

}  // namespace tarvin
