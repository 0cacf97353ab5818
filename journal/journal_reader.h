// Reading a journal back: the events an earlier run left in the file, for a
// list that shows them after a restart. The file may be days long, so only its
// end is read.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tarvin {

// The events of `path` that end at or before byte `end`, oldest first: from at
// most the last `max_bytes` before `end`, whole lines only. A line that is not
// a JSON object with an "event" (cut by a power loss, or not ours) is skipped.
std::vector<nlohmann::ordered_json> ReadJournalEvents(const std::string& path, uint64_t end,
                                                      uint64_t max_bytes);

}  // namespace tarvin
