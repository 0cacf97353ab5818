#include "outlets/publish_queue.h"

#include <algorithm>
#include <utility>

namespace tarvin {

void PublishQueue::Push(OutMessage message) {
  if (message.kind == MessageKind::File) ++files_;
  if (message.kind == MessageKind::Sample) ++samples_;
  messages_.push_back(std::move(message));
  Enforce();
}

void PublishQueue::Requeue(std::deque<OutMessage> sent) {
  for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
    if (it->kind == MessageKind::File) ++files_;
    if (it->kind == MessageKind::Sample) ++samples_;
    messages_.push_front(std::move(*it));
  }
  Enforce();
}

OutMessage PublishQueue::TakeFront() {
  OutMessage message = std::move(messages_.front());
  messages_.pop_front();
  if (message.kind == MessageKind::File) --files_;
  if (message.kind == MessageKind::Sample) --samples_;
  return message;
}

DropCounts PublishQueue::TakeDrops() { return std::exchange(dropped_, DropCounts{}); }

void PublishQueue::Enforce() {
  while (files_ > max_files_) DropOldest(MessageKind::File);
  while (messages_.size() - files_ > max_messages_)
    DropOldest(samples_ > 0 ? MessageKind::Sample : MessageKind::Event);
}

void PublishQueue::DropOldest(MessageKind kind) {
  const auto it = std::find_if(messages_.begin(), messages_.end(),
                               [kind](const OutMessage& m) { return m.kind == kind; });
  if (it == messages_.end()) return;
  messages_.erase(it);
  switch (kind) {
    case MessageKind::Event:
      ++dropped_.events;
      break;
    case MessageKind::File:
      --files_;
      ++dropped_.files;
      break;
    case MessageKind::Sample:
      --samples_;
      ++dropped_.samples;
      break;
  }
}

}  // namespace tarvin
