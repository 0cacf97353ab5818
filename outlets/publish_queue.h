// The messages waiting for the broker, oldest first. While the broker is away
// the queue fills; it is bounded, and when it overflows the oldest chart
// summaries go first, then the oldest events. Files are bounded on their own,
// the oldest going first. What is dropped is counted for the journal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace tarvin {

enum class MessageKind { Event, File, Sample };

struct OutMessage {
  MessageKind kind = MessageKind::Event;
  std::string topic;
  std::string payload;
  std::string file_name;  // a file's name, for its message's property
};

struct DropCounts {
  uint64_t events = 0;
  uint64_t files = 0;
  uint64_t samples = 0;
  uint64_t Total() const { return events + files + samples; }
};

class PublishQueue {
 public:
  // At least 10,000 events and 50 files wait for a broker that is away.
  static constexpr std::size_t kDefaultMessages = 10000;
  static constexpr std::size_t kDefaultFiles = 50;

  // `max_messages` bounds events and samples together, `max_files` files.
  explicit PublishQueue(std::size_t max_messages = kDefaultMessages, std::size_t max_files = kDefaultFiles)
      : max_messages_(max_messages), max_files_(max_files) {}

  // Appends at the back, dropping what the bounds require.
  void Push(OutMessage message);
  // Puts messages that were sent but never acknowledged back at the front, in
  // their order, so they go first once the broker is back. The bounds hold.
  void Requeue(std::deque<OutMessage> sent);

  bool Empty() const { return messages_.empty(); }
  std::size_t Size() const { return messages_.size(); }
  std::size_t Files() const { return files_; }
  const OutMessage& Front() const { return messages_.front(); }
  OutMessage TakeFront();

  // What was dropped since the last call.
  DropCounts TakeDrops();

 private:
  void Enforce();
  void DropOldest(MessageKind kind);

  std::size_t max_messages_;
  std::size_t max_files_;
  std::deque<OutMessage> messages_;
  std::size_t files_ = 0;
  std::size_t samples_ = 0;
  DropCounts dropped_;
};

}  // namespace tarvin
