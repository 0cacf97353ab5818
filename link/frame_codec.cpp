#include "link/frame_codec.h"

#include <cstring>

namespace tarvin {

char Bin_To_Hex(int16_t value) {
  const int v = value & 0xF;
  return static_cast<char>(v < 10 ? v + 48 : v + 55);
}

uint16_t Hex_To_Bin(char ch) {
  if (ch >= '0' && ch <= '9') return static_cast<uint16_t>(ch - '0');
  if (ch >= 'A' && ch <= 'F') return static_cast<uint16_t>(ch - 'A' + 10);
  if (ch >= 'a' && ch <= 'f') return static_cast<uint16_t>(ch - 'a' + 10);
  // Not a digit: decoding goes on and the LRC rejects the frame.
  return 0;
}

uint16_t Get_Word(const char* body, int16_t position) {
  const char* p = body + position;
  return static_cast<uint16_t>((Hex_To_Bin(p[0]) << 12) | (Hex_To_Bin(p[1]) << 8) | (Hex_To_Bin(p[2]) << 4) |
                               Hex_To_Bin(p[3]));
}

uint16_t Calc_KS(const uint16_t* words, uint16_t k) {
  uint16_t sum = static_cast<uint16_t>((words[0] >> 8) + (words[0] & 0xFF));
  for (uint16_t i = 1; i < k; ++i) sum = static_cast<uint16_t>(sum + words[i]);
  return static_cast<uint16_t>(0x10000u - sum);
}

int16_t Check_KS(const char* body) {
  const std::size_t length = std::strlen(body);
  // A body shorter than a head word and an LRC cannot be read safely.
  if (length < 6 || (length & 1u) != 0 || length > 0xFFFF) return -9;
  const auto n = static_cast<uint16_t>(length);
  const uint16_t head = Get_Word(body, 0);
  uint16_t sum = static_cast<uint16_t>((head >> 8) + (head & 0xFF));
  // Step by four while a whole word lies before the LRC digits' end, the LRC
  // itself included where an irregular length puts it inside a word.
  for (int p = 4; p < n - 2; p += 4)
    sum = static_cast<uint16_t>(sum + Get_Word(body, static_cast<int16_t>(p)));
  const uint16_t expected = static_cast<uint16_t>(0x10000u - sum) & 0xFF;
  const uint16_t got = static_cast<uint16_t>((16 * Hex_To_Bin(body[n - 2]) + Hex_To_Bin(body[n - 1])) & 0xFF);
  return got == expected ? 0 : -9;
}

std::size_t Write_Frame(char start, const uint16_t* words, uint16_t n, char* out, std::size_t cap) {
  const std::size_t length = FrameLength(n);
  if (length == 0 || length > cap) return 0;
  std::size_t at = 0;
  out[at++] = start;
  for (uint16_t i = 0; i + 1 < n; ++i) {
    const uint16_t w = words[i];
    out[at++] = Bin_To_Hex(static_cast<int16_t>(w >> 12));
    out[at++] = Bin_To_Hex(static_cast<int16_t>((w >> 8) & 0xF));
    out[at++] = Bin_To_Hex(static_cast<int16_t>((w >> 4) & 0xF));
    out[at++] = Bin_To_Hex(static_cast<int16_t>(w & 0xF));
  }
  const uint16_t last = words[n - 1];
  out[at++] = Bin_To_Hex(static_cast<int16_t>((last >> 4) & 0xF));
  out[at++] = Bin_To_Hex(static_cast<int16_t>(last & 0xF));
  out[at++] = '\r';
  out[at++] = '\n';
  return at;
}

}  // namespace tarvin
