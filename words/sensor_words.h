// The sensor's values in the operator's words. The core reports values; the
// window's labels, the journal view and the broker's text say them with
// these, so that the same state reads the same everywhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/engine_sink.h"

namespace tarvin::words {

// "Фланги СЗ сбалансированы", or which flank's capacity is the lower.
std::string BalanceSentence(Balance balance);
// As the balance label shows it: an unbalanced flank's sentence has two
// blanks at each end, as the sensor's program always gave it.
std::string BalanceLabel(Balance balance);
// A journal's `balance` event: its `value`, or, in journals written before
// the value, the sentence it held (blanks around it or not). Nothing when
// neither names a balance.
std::optional<Balance> BalanceOfEvent(std::string_view value, std::string_view text);
// What such an event says in words: its balance's sentence, or a sentence
// this program does not know as it was written (without the blanks), or "".
std::string BalanceEventWords(std::string_view value, std::string_view text);

// "COM1 включён", "COM1 выключен".
std::string PortStateText(const std::string& port, bool open);
// The link panel: nothing after an opening, then "Связь восстановлена" or "Нет связи".
const char* LinkStateText(LinkState state);

}  // namespace tarvin::words
