// The journal's times read back: every reader of a journal (the report, the
// control room's acknowledgements) reads `time` here, beside the journal that
// writes it (base/local_time's LocalIsoTime), so both agree on one format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarvin {

// Milliseconds since 1970 (UTC) of a journal time such as
// "2026-12-07T23:59:01.123+03:00". Without an offset ("2026-12-07 23:59",
// "2026-12-07T23:59:01", "2026-12-07") it is at `zone` seconds east of UTC,
// or without a zone the machine's local time.
std::optional<int64_t> ParseJournalTime(const std::string& text, std::optional<int> zone = std::nullopt);
// The offset from UTC a journal time is written with, in seconds.
std::optional<int> JournalTimeZone(const std::string& text);
// "2026-12-07T23:59:01.123+03:00" at `zone` seconds east of UTC, as the
// journal writes it; read back by ParseJournalTime.
std::string JournalTimeText(int64_t ms, int zone);

}  // namespace tarvin
