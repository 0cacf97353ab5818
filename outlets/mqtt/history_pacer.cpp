#include "outlets/mqtt/history_pacer.h"

namespace tarvin {

std::vector<const HistoryMessage*> HistoryPacer::Due(const std::vector<HistoryMessage>& wanted,
                                                     Clock::time_point now, bool all) {
  std::vector<const HistoryMessage*> due;
  waiting_ = false;
  for (const HistoryMessage& m : wanted) {
    const auto last = sent_.find(m.topic);
    if (last == sent_.end()) {
      due.push_back(&m);
    } else if (last->second.payload != m.payload) {
      if (all || now >= last->second.at + kEvery) {
        due.push_back(&m);
      } else {
        waiting_ = true;
      }
    }
  }
  return due;
}

void HistoryPacer::Sent(const HistoryMessage& message, Clock::time_point now) {
  sent_[message.topic] = {message.payload, now};
}

}  // namespace tarvin
