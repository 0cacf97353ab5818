// The one queue of commands to the sensor. Slot 0 is the command in flight or
// the next to send; commands leave only through the link engine.
#pragma once

#include <cstdint>

namespace tarvin {

constexpr uint16_t SIZE_TR_BUF = 1024;
constexpr int16_t SIZE_CMD_QUEUE = 32;

struct CommandSlot {
  uint16_t usCode;               // low byte of the head word; 0 marks an empty slot
  char ucStart;                  // ':' for every command of the system
  uint16_t usData[SIZE_TR_BUF];  // head word, data words, checksum word; the rest 0
  uint16_t usDataLen;            // words in usData, checksum word included
};

enum class PutResult {
  Stored,
  TooLong,              // more than SIZE_TR_BUF words: the caller shows a message
  TooShort,             // fewer than a head word and a checksum word
  Full,                 // 32 commands already waiting
  StatusWhileAwaiting,  // 'A' is queued only while no reply is awaited
  Duplicate,            // same code and same checksum word already queued
};

struct CommandQueue {
  CommandSlot Slots[SIZE_CMD_QUEUE] = {};
  int16_t Count = 0;

  PutResult Put(char ucStart, const uint16_t* usData, uint16_t usDataLen, bool awaiting_reply);
  // Slots 1.. move down; the last occupied slot is zeroed.
  void RemoveHead();
  // Count 0 and every slot zeroed.
  void Clear();
};

}  // namespace tarvin
