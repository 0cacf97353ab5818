#include "words/sensor_words.h"

#include <array>
#include <utility>

namespace tarvin::words {
namespace {

const std::array<std::pair<Balance, std::string>, 3>& Sentences() {
  static const std::array<std::pair<Balance, std::string>, 3> sentences = {{
      {Balance::Balanced, "Фланги СЗ сбалансированы"},
      {Balance::FirstFlankLow,
       "Недопустимый разбаланс флангов СЗ ! Ёмкость первого фланга меньше ёмкости второго"},
      {Balance::SecondFlankLow,
       "Недопустимый разбаланс флангов СЗ ! Ёмкость второго фланга меньше ёмкости первого"},
  }};
  return sentences;
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

const std::string& BalanceSentence(Balance balance) {
  for (const auto& [value, sentence] : Sentences())
    if (value == balance) return sentence;
  return Sentences()[0].second;  // not reached: every value has its sentence
}

std::string BalanceLabel(Balance balance) {
  const std::string& sentence = BalanceSentence(balance);
  return balance == Balance::Balanced ? sentence : "  " + sentence + "  ";
}

std::optional<Balance> BalanceOfEvent(std::string_view value, std::string_view text) {
  if (!value.empty()) return BalanceNamed(value);
  const std::string_view words = Trimmed(text);
  for (const auto& [balance, sentence] : Sentences())
    if (words == sentence) return balance;
  return std::nullopt;
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
