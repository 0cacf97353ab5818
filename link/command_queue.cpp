#include "link/command_queue.h"

#include <cstring>

#include "link/sensor_protocol.h"

namespace tarvin {

PutResult CommandQueue::Put(char ucStart, const uint16_t* usData, uint16_t usDataLen, bool awaiting_reply) {
  if (usDataLen > SIZE_TR_BUF) return PutResult::TooLong;
  // Without a head word and a checksum word there is nothing to compare or send.
  if (usDataLen < 2 || usData == nullptr) return PutResult::TooShort;
  if (Count >= SIZE_CMD_QUEUE) return PutResult::Full;
  const uint16_t code = protocol::CodeOf(usData[0]);
  if (protocol::Is(code, protocol::Code::kStatus) && awaiting_reply) return PutResult::StatusWhileAwaiting;
  const uint16_t last = usData[usDataLen - 1];
  for (int16_t i = 0; i < Count; ++i) {
    if (Slots[i].usCode == code && Slots[i].usData[usDataLen - 1] == last) return PutResult::Duplicate;
  }
  CommandSlot& slot = Slots[Count];
  slot.usCode = code;
  slot.ucStart = ucStart;
  std::memcpy(slot.usData, usData, usDataLen * sizeof(uint16_t));
  slot.usDataLen = usDataLen;
  ++Count;
  return PutResult::Stored;
}

void CommandQueue::RemoveHead() {
  // Slots from Count on are zero already: only the occupied ones need moving.
  const int16_t used = Count > 0 ? Count : 1;
  std::memmove(&Slots[0], &Slots[1], sizeof(CommandSlot) * static_cast<std::size_t>(used - 1));
  std::memset(&Slots[used - 1], 0, sizeof(CommandSlot));
  if (Count > 0) --Count;
}

void CommandQueue::Clear() {
  Count = 0;
  std::memset(Slots, 0, sizeof(Slots));
}

}  // namespace tarvin
