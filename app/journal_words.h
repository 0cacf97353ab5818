// A journal event in the operator's words: the moment, what happened and the
// details, as the journal window lists them. Plain C++.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "journal/journal.h"

namespace tarvin {

struct JournalRow {
  std::string time;     // "07.12.2026 23:59:01"
  std::string event;    // "Тревога"
  std::string details;  // "2026.12.07  23 час. 59 мин. .bin, по тревоге"
  std::string file;     // the oscillogram a saved event names; empty for others
};

JournalRow DescribeEvent(const nlohmann::ordered_json& event);

// The journal's moment "2026-12-07T23:59:01.123+03:00" as "07.12.2026 23:59:01";
// anything else as it is.
std::string ShownJournalTime(const std::string& iso);

// A measured figure with one decimal and a comma, as the report writes it
// ("16,5", "−2,3"); a figure nobody measured (null or absent) as "—".
std::string FigureText(const nlohmann::ordered_json& value);

// Why a walk test ended ("operator", "limit", "stop", "link_lost").
std::string WalkTestEndWords(const std::string& reason);

// A `walk_test_end`'s count: "проходов 3, обнаружено 2, пропущено 1", the
// passes detected (one that raised two alarms is one: "обнаружено 1 (тревог:
// 2)"), or "обнаружено 2, проходы не указаны" when nobody said.
std::string WalkTestCountWords(const nlohmann::ordered_json& event);

}  // namespace tarvin
