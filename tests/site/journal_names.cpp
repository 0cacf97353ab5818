// The names the journal and the broker's messages carry, as the recorder's
// own tables hold them, for the page's test that holds the page's table to
// them (site/tests/names.test.mjs): {"events": [...], "balance": [...]}.
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/engine_sink.h"
#include "journal/journal_events.h"

namespace {

template <typename Table>
nlohmann::json NamesOf(const Table& table) {
  nlohmann::json names = nlohmann::json::array();
  for (const auto& entry : table) names.push_back(std::string(entry.second));
  return names;
}

}  // namespace

int main() {
  const nlohmann::json names = {{"events", NamesOf(tarvin::kEventNames)},
                                {"balance", NamesOf(tarvin::kBalanceNames)}};
  std::cout << names.dump() << '\n';
  return 0;
}
