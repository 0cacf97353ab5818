// The body of an operator's acknowledgement as a page sends it, for an alarm
// event as the journal wrote it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace tarvin::testing {

inline std::string AckBody(const nlohmann::ordered_json& alarm, const std::string& comment,
                           const std::string& id) {
  return nlohmann::ordered_json({{"alarm", alarm["seq"]},
                                 {"alarm_time", alarm["time"]},
                                 {"comment", comment},
                                 {"time", "2026-12-09T01:05:00.000Z"},
                                 {"id", id}})
      .dump();
}

}  // namespace tarvin::testing
