// A file of four samples as the program writes it, with thresholds that need
// a float's full precision, a fraction, a whole number and an exponent, and
// integers up to the largest 32-bit one: the known answer of the CSV and
// statistics tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvin::testing {

inline std::vector<uint8_t> KnownOscillogramBytes() {
  std::vector<uint8_t> b = {2, 4, 0};
  const auto le32 = [&](uint32_t v) {
    for (int k = 0; k < 4; ++k) b.push_back(uint8_t(v >> (8 * k)));
  };
  for (uint32_t t :
       {0x41280000u /* 10.5 */, 0x3DCCCCCDu /* 0.1f */, 0x42200000u /* 40 */, 0x3727C5ACu /* 1e-05f */})
    le32(t);
  for (uint32_t v : {7u, 41u, 39u, 4000000000u}) le32(v);  // useful
  for (uint32_t v : {1u, 2u, 3u, 4u}) le32(v);             // ekNoise
  for (uint32_t v : {0u, 0u, 0u, 4294967295u}) le32(v);    // ekClimate
  for (uint32_t v : {60u, 61u, 62u, 63u}) le32(v);         // input
  return b;
}

inline const char* const kKnownCsvPlain =
    "index,threshold,useful,ekNoise,ekClimate,input\r\n"
    "0,10.5,7,1,0,60\r\n"
    "1,0.1,41,2,0,61\r\n"
    "2,40,39,3,0,62\r\n"
    "3,1e-05,4000000000,4,4294967295,63\r\n";

inline const char* const kKnownCsvExcel =
    "\xEF\xBB\xBFindex;threshold;useful;ekNoise;ekClimate;input\r\n"
    "0;10,5;7;1;0;60\r\n"
    "1;0,1;41;2;0;61\r\n"
    "2;40;39;3;0;62\r\n"
    "3;1e-05;4000000000;4;4294967295;63\r\n";

}  // namespace tarvin::testing
