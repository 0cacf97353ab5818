// The text layout of a frame on the line, shared by the program and the simulator.
// A frame is a start character (':' or '~'), 16-bit words as four hex digits,
// a one-byte LRC as two digits, then CR LF.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvin {

constexpr char kReplyStart = ':';
constexpr char kStreamStart = '~';

// 0..15 -> '0'..'9', 'A'..'F'.
char Bin_To_Hex(int16_t value);
// '0'..'9', 'A'..'F', 'a'..'f' -> 0..15; any other character -> 0.
uint16_t Hex_To_Bin(char ch);
// The word of the four digits at `position` of a body. Reads body[position..position+3]:
// the caller must know the body holds them.
uint16_t Get_Word(const char* body, int16_t position);
// Two's complement (16 bit) of: both bytes of words[0] + words[1..k-1] in full.
uint16_t Calc_KS(const uint16_t* words, uint16_t k);
// 0 when the NUL-terminated body is valid, -9 when its length is odd, shorter than
// a head word and an LRC, or its LRC does not match.
int16_t Check_KS(const char* body);

// Writes start, every word but the last as four digits, the low byte of the last
// word as two digits, CR, LF. Returns the number of characters written, or 0 when
// n < 2 or the frame does not fit in `cap`.
std::size_t Write_Frame(char start, const uint16_t* words, uint16_t n, char* out, std::size_t cap);

// Length on the line of a frame of n words (checksum word included): 1 + 4(n-1) + 2 + 2.
constexpr std::size_t FrameLength(uint16_t n) { return n < 2 ? 0 : 4u * (n - 1u) + 5u; }

}  // namespace tarvin
