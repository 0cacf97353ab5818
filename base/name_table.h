// Values of an enum named once, in a table: the name a file or a peer carries
// and the value it stands for, looked up either way.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

namespace tarvin {

template <typename T, std::size_t N>
using NameTable = std::array<std::pair<T, std::string_view>, N>;

// "" for a value the table leaves out.
template <typename T, std::size_t N>
constexpr std::string_view NameIn(const NameTable<T, N>& table, T value) {
  for (const auto& [known, name] : table)
    if (known == value) return name;
  return {};
}

// Nothing for a name the table does not hold.
template <typename T, std::size_t N>
constexpr std::optional<T> ValueIn(const NameTable<T, N>& table, std::string_view name) {
  for (const auto& [value, known] : table)
    if (known == name) return value;
  return std::nullopt;
}

}  // namespace tarvin
