// LinkTick: drain the port, assemble and check frames, take the awaited reply,
// supervise the exchange and send the next command.
#include <cstring>

#include "engine/link_engine.h"
#include "link/frame_codec.h"
#include "link/sensor_protocol.h"

namespace tarvin {

void LinkEngine::LinkTick() {
  if (!port_.IsOpen()) return;  // closed by the engine: wait for the operator's port choice
  ReceivePhase();
  Supervise();
  s_.TickErrorMark = 0;
}

void LinkEngine::ReceivePhase() {
  uint8_t byte = 0;
  while (port_.ReadByte(&byte) == 1) {
    Bump(s_.Counters.N_rv_byte);
    ++s_.DiagGeneration;
    const char ch = static_cast<char>(byte);
    if (ch == kStreamStart) {
      s_.FrameState = 2;
      s_.RxLength = 0;
    } else if (ch == kReplyStart) {
      s_.FrameState = 1;
      s_.RxLength = 0;
    } else if (ch == '\n' && s_.RxLength > 0 && s_.RxBuffer[s_.RxLength - 1] == '\r') {
      FrameEnd();
    } else {
      s_.RxBuffer[s_.RxLength++] = ch;
      if (s_.RxLength >= kRxBufferSize) {
        s_.RxLength = 0;
        if (s_.FrameState == 1 && s_.AwaitingReply == 1) s_.TickErrorMark = 3;
        s_.FrameState = 0;
        Bump(s_.Counters.Overflow_buffer);
      }
    }
  }
}

void LinkEngine::FrameEnd() {
  const uint16_t body_length = static_cast<uint16_t>(s_.RxLength - 1);
  s_.RxBuffer[body_length] = '\0';  // in place of the CR
  s_.RxLength = 0;
  std::memcpy(s_.Rv_Frame, s_.RxBuffer, body_length + 1u);

  if (Check_KS(s_.RxBuffer) != 0) {
    Bump(s_.Counters.ChecksumErrors);
    if (s_.FrameState == 1 && s_.AwaitingReply == 1) s_.TickErrorMark = 2;
    s_.FrameState = 0;
    return;
  }
  Bump(s_.Counters.N_rv_frame);
  s_.ReplyCode = protocol::CodeOf(Get_Word(s_.RxBuffer, 0));
  // The check stopped at the first NUL (a 0x00 or 0x80 byte from a noisy line):
  // the handlers must read no word beyond what it covered.
  const auto checked_length = static_cast<uint16_t>(std::strlen(s_.RxBuffer));

  if (s_.FrameState == 1 && s_.AwaitingReply == 1) {
    if (s_.link != tarvin::LinkState::Up) {
      s_.link = tarvin::LinkState::Up;
      s_.poll = tarvin::PollStage::Version;
      Poll();
      sink_.SetLinkState(LinkState::Up);
      sink_.Post(Notice::LinkRestored);
    }
    s_.FrameState = 0;
    s_.WaitTicks = 0;
    s_.RetryCount = 0;
    s_.AwaitingReply = 0;
    s_.Queue.RemoveHead();
    DispatchReply(s_.ReplyCode, checked_length);
  } else if (s_.FrameState == 2) {
    s_.FrameState = 0;
    DispatchStream(s_.ReplyCode, checked_length);
  }
  // Otherwise a reply nobody awaits, or a line without a start character: counted only.
}

void LinkEngine::Transmit() {
  const CommandSlot& head = s_.Queue.Slots[0];
  if (WriteFrame(head.ucStart, head.usData, head.usDataLen)) {
    s_.TxFailCount = 0;
  } else {
    ++s_.TxFailCount;
  }
}

void LinkEngine::Supervise() {
  if (s_.AwaitingReply == 0) {
    if (s_.Queue.Slots[0].usCode != 0) Transmit();
  } else if (++s_.WaitTicks > 20) {
    s_.WaitTicks = 0;
    // A bad reply or an overflow already recorded in this tick is not also a time-out.
    if (s_.TickErrorMark == 0) {
      Bump(s_.Counters.Time_out);
      ++s_.DiagGeneration;
    }
    if (++s_.RetryCount <= 5) {
      Transmit();
    } else {
      LinkLost(false);
    }
  }
  if (s_.TxFailCount >= 3) LinkLost(true);
}

void LinkEngine::LinkLost(bool close_port) {
  if (close_port) port_.Close();
  s_.FrameState = 0;
  s_.AwaitingReply = 0;
  s_.RetryCount = 0;
  if (s_.link != tarvin::LinkState::Lost) {
    s_.link = tarvin::LinkState::Lost;
    if (close_port) {
      sink_.SetPortState(port_text_, false);
    } else {
      port_.PurgeInputOutput();
    }
    sink_.SetLinkState(LinkState::Lost);
    sink_.Post(Notice::LinkLost);
    s_.poll = tarvin::PollStage::Version;
  }
  s_.Queue.Clear();
}

}  // namespace tarvin
