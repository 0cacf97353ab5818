// A test CA with a server certificate for 127.0.0.1 and a client certificate
// it signed, made with openssl in a test's folder.
#pragma once

#include <cstdlib>
#include <string>

namespace tarvin::testing {

// <ca_name>.crt/.key, server.crt/.key and client.crt/.key in `dir`.
inline bool MakeCertificates(const std::string& dir, const std::string& ca_name) {
  const std::string d = "'" + dir + "'";
  const std::string commands =
      "cd " + d + " && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=" + ca_name +
      "' -keyout " + ca_name + ".key -out " + ca_name + ".crt && " +
      "openssl req -newkey rsa:2048 -nodes -subj '/CN=127.0.0.1' -keyout server.key -out server.csr && " +
      "printf 'subjectAltName=IP:127.0.0.1\\n' > san.ext && "
      "openssl x509 -req -in server.csr -CA " +
      ca_name + ".crt -CAkey " + ca_name +
      ".key -CAcreateserial -days 2 -extfile san.ext -out server.crt && " +
      "openssl req -newkey rsa:2048 -nodes -subj '/CN=recorder' -keyout client.key -out client.csr && " +
      "openssl x509 -req -in client.csr -CA " + ca_name + ".crt -CAkey " + ca_name +
      ".key -CAcreateserial -days 2 -out client.crt";
  return std::system(("(" + commands + ") >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace tarvin::testing
