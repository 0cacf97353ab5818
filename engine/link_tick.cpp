// LinkTick: drain the port, assemble and check frames, take the awaited reply,
// supervise the exchange and send the next command.
#include <cstring>

#include "engine/link_engine.h"
#include "link/frame_codec.h"

namespace tarvin {

void LinkEngine::LinkTick() {
  if (!port_.IsOpen()) return;  // closed by the engine: wait for the operator's port choice
  ReceivePhase();
  Supervise();
  TickErrorMark = 0;
}

void LinkEngine::ReceivePhase() {
  uint8_t byte = 0;
  while (port_.ReadByte(&byte) == 1) {
    Bump(Counters.N_rv_byte);
    ++DiagGeneration;
    const char ch = static_cast<char>(byte);
    if (ch == kStreamStart) {
      FrameState = 2;
      RxLength = 0;
    } else if (ch == kReplyStart) {
      FrameState = 1;
      RxLength = 0;
    } else if (ch == '\n' && RxLength > 0 && RxBuffer[RxLength - 1] == '\r') {
      FrameEnd();
    } else {
      RxBuffer[RxLength++] = ch;
      if (RxLength >= kRxBufferSize) {
        RxLength = 0;
        if (FrameState == 1 && AwaitingReply == 1) TickErrorMark = 3;
        FrameState = 0;
        Bump(Counters.Overflow_buffer);
      }
    }
  }
}

void LinkEngine::FrameEnd() {
  const uint16_t body_length = static_cast<uint16_t>(RxLength - 1);
  RxBuffer[body_length] = '\0';  // in place of the CR
  RxLength = 0;
  std::memcpy(Rv_Frame, RxBuffer, body_length + 1u);

  if (Check_KS(RxBuffer) != 0) {
    Bump(Counters.KS_ERR);
    if (FrameState == 1 && AwaitingReply == 1) TickErrorMark = 2;
    FrameState = 0;
    return;
  }
  Bump(Counters.N_rv_frame);
  ReplyCode = Get_Word(RxBuffer, 0) & 0xFF;
  // The check stopped at the first NUL (a 0x00 or 0x80 byte from a noisy line):
  // the handlers must read no word beyond what it covered.
  const auto checked_length = static_cast<uint16_t>(std::strlen(RxBuffer));

  if (FrameState == 1 && AwaitingReply == 1) {
    if (LinkState != 1) {
      LinkState = 1;
      PollStage = 0;
      QueueCommand(0x014D);
      sink_.SetStatusPanel(4, "Связь восстановлена");
      sink_.Post(Notice::LinkRestored);
    }
    FrameState = 0;
    WaitTicks = 0;
    RetryCount = 0;
    AwaitingReply = 0;
    Queue.RemoveHead();
    DispatchReply(ReplyCode, checked_length);
  } else if (FrameState == 2) {
    FrameState = 0;
    DispatchStream(ReplyCode, checked_length);
  }
  // Otherwise a reply nobody awaits, or a line without a start character: counted only.
}

void LinkEngine::Transmit() {
  const CommandSlot& head = Queue.Slots[0];
  if (Send_Cmd1(head.ucStart, head.usData, head.usDataLen) == -2) {
    ++TxFailCount;
  } else {
    TxFailCount = 0;
  }
}

void LinkEngine::Supervise() {
  if (AwaitingReply == 0) {
    if (Queue.Slots[0].usCode != 0) Transmit();
  } else if (++WaitTicks > 20) {
    WaitTicks = 0;
    // A bad reply or an overflow already recorded in this tick is not also a time-out.
    if (TickErrorMark == 0) {
      Bump(Counters.Time_out);
      ++DiagGeneration;
    }
    if (++RetryCount <= 5) {
      Transmit();
    } else {
      LinkLost(false);
    }
  }
  if (TxFailCount >= 3) LinkLost(true);
}

void LinkEngine::LinkLost(bool close_port) {
  if (close_port) port_.Close();
  FrameState = 0;
  AwaitingReply = 0;
  RetryCount = 0;
  if (LinkState != 0) {
    LinkState = 0;
    if (close_port) {
      sink_.SetStatusPanel(2, port_text_ + " выключен");
    } else {
      port_.PurgeInputOutput();
    }
    sink_.SetStatusPanel(4, "Нет связи");
    sink_.Post(Notice::LinkLost);
    PollStage = 0;
  }
  Queue.Clear();
}

}  // namespace tarvin
