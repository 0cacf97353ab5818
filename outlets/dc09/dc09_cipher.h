// The AES key a centre gives for a site, and what it does to a message's
// encrypted part: CBC with a zero IV and no padding of its own (the message
// is padded to whole blocks before), sent as upper-case hex.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvin {

class Dc09Key {
 public:
  // A key file's text: 32, 48 or 64 hex digits (AES-128, -192, -256), or
  // "text:" and 16, 24 or 32 characters taken as the key's bytes, the form
  // receivers that take a password want. Blanks and line ends around it are
  // not part of it. Nothing, with why, for anything else.
  static std::optional<Dc09Key> FromText(std::string_view text, std::string* error);
  std::size_t Bits() const { return bytes_.size() * 8; }

  // `plain` must be whole 16-byte blocks.
  std::string EncryptHex(std::string_view plain) const;
  // Nothing for text that is not hex of whole blocks.
  std::optional<std::string> DecryptHex(std::string_view hex) const;

 private:
  explicit Dc09Key(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
  std::vector<unsigned char> bytes_;
};

// The key file at `path`, read and checked; the error names what is wrong.
std::optional<Dc09Key> ReadDc09Key(const std::string& path, std::string* error);

}  // namespace tarvin
