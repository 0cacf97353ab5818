#include "outlets/dc09/dc09_cipher.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstdio>
#include <memory>

#include "base/file_io.h"

namespace tarvin {

namespace {

const EVP_CIPHER* CipherFor(std::size_t key_bytes) {
  switch (key_bytes) {
    case 16:
      return EVP_aes_128_cbc();
    case 24:
      return EVP_aes_192_cbc();
    default:
      return EVP_aes_256_cbc();
  }
}

// Runs the cipher one way over whole blocks; nothing when OpenSSL refuses.
std::optional<std::string> Run(const std::vector<unsigned char>& key, std::string_view in, bool encrypt) {
  using Context = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;
  Context context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  const unsigned char iv[16] = {};
  if (!context ||
      EVP_CipherInit_ex(context.get(), CipherFor(key.size()), nullptr, key.data(), iv, encrypt ? 1 : 0) != 1)
    return std::nullopt;
  EVP_CIPHER_CTX_set_padding(context.get(), 0);
  std::string out(in.size() + 16, '\0');
  int written = 0, last = 0;
  auto* to = reinterpret_cast<unsigned char*>(out.data());
  if (EVP_CipherUpdate(context.get(), to, &written, reinterpret_cast<const unsigned char*>(in.data()),
                       static_cast<int>(in.size())) != 1 ||
      EVP_CipherFinal_ex(context.get(), to + written, &last) != 1)
    return std::nullopt;
  out.resize(static_cast<std::size_t>(written + last));
  return out;
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool KeyLength(std::size_t bytes) { return bytes == 16 || bytes == 24 || bytes == 32; }

}  // namespace

std::optional<Dc09Key> Dc09Key::FromText(std::string_view text, std::string* error) {
  text = Trimmed(text);
  constexpr std::string_view kText = "text:";
  if (text.substr(0, kText.size()) == kText) {
    text.remove_prefix(kText.size());
    if (!KeyLength(text.size())) {
      *error = "a text key is 16, 24 or 32 characters, not " + std::to_string(text.size());
      return std::nullopt;
    }
    return Dc09Key({text.begin(), text.end()});
  }
  long length = 0;
  const std::string digits(text);
  std::unique_ptr<unsigned char, void (*)(unsigned char*)> bytes(OPENSSL_hexstr2buf(digits.c_str(), &length),
                                                                 [](unsigned char* p) { OPENSSL_free(p); });
  if (digits.find(':') != std::string::npos || !bytes) {
    *error = "the key is neither hex digits nor text:...";
    return std::nullopt;
  }
  if (!KeyLength(static_cast<std::size_t>(length))) {
    *error = "a hex key is 32, 48 or 64 digits, not " + std::to_string(digits.size());
    return std::nullopt;
  }
  return Dc09Key({bytes.get(), bytes.get() + length});
}

std::string Dc09Key::EncryptHex(std::string_view plain) const {
  const std::optional<std::string> sealed = Run(bytes_, plain, true);
  if (!sealed) return {};
  std::string hex(sealed->size() * 2 + 1, '\0');
  std::size_t length = 0;
  OPENSSL_buf2hexstr_ex(hex.data(), hex.size(), &length,
                        reinterpret_cast<const unsigned char*>(sealed->data()),
                        static_cast<long>(sealed->size()), '\0');
  hex.resize(length > 0 ? length - 1 : 0);  // without its terminating zero
  return hex;
}

std::optional<std::string> Dc09Key::DecryptHex(std::string_view hex) const {
  if (hex.empty() || hex.size() % 32 != 0 || hex.find(':') != std::string_view::npos) return std::nullopt;
  const std::string digits(hex);
  long length = 0;
  std::unique_ptr<unsigned char, void (*)(unsigned char*)> bytes(OPENSSL_hexstr2buf(digits.c_str(), &length),
                                                                 [](unsigned char* p) { OPENSSL_free(p); });
  if (!bytes) return std::nullopt;
  return Run(bytes_,
             std::string_view(reinterpret_cast<const char*>(bytes.get()), static_cast<std::size_t>(length)),
             false);
}

std::optional<Dc09Key> ReadDc09Key(const std::string& path, std::string* error) {
  if (NotARegularFileUtf8(path)) {
    *error = path + " is not a regular file";
    return std::nullopt;
  }
  std::FILE* file = OpenFileUtf8(path, "rb");
  if (file == nullptr) {
    *error = path + " cannot be read";
    return std::nullopt;
  }
  // A key file is a line; more than a page of it is not a key.
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  std::string why;
  auto key = Dc09Key::FromText(text, &why);
  if (!key) *error = path + ": " + why;
  return key;
}

}  // namespace tarvin
