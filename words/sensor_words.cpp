#include "words/sensor_words.h"

namespace tarvin::words {
namespace {

// The balance in words, as the sensor's program has always shown it.
constexpr NameTable<Balance, 3> kSentences = {{
    {Balance::Balanced, "Фланги СЗ сбалансированы"},
    {Balance::FirstFlankLow,
     "Недопустимый разбаланс флангов СЗ ! Ёмкость первого фланга меньше ёмкости второго"},
    {Balance::SecondFlankLow,
     "Недопустимый разбаланс флангов СЗ ! Ёмкость второго фланга меньше ёмкости первого"},
}};

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string BalanceSentence(Balance balance) { return std::string(NameIn(kSentences, balance)); }

std::string BalanceLabel(Balance balance) {
  const std::string sentence = BalanceSentence(balance);
  return balance == Balance::Balanced ? sentence : "  " + sentence + "  ";
}

std::optional<Balance> BalanceOfEvent(std::string_view value, std::string_view text) {
  if (!value.empty()) return BalanceNamed(value);
  return ValueIn(kSentences, Trimmed(text));
}

std::string BalanceEventWords(std::string_view value, std::string_view text) {
  if (const std::optional<Balance> balance = BalanceOfEvent(value, text)) return BalanceSentence(*balance);
  return std::string(Trimmed(text));
}

std::string PortStateText(const std::string& port, bool open) {
  return port + (open ? " включён" : " выключен");
}

const char* LinkStateText(LinkState state) {
  switch (state) {
    case LinkState::Up:
      return "Связь восстановлена";
    case LinkState::Lost:
      return "Нет связи";
    case LinkState::Opened:
      break;
  }
  return "";
}

}  // namespace tarvin::words
