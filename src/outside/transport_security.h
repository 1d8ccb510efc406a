#pragma once

#include <string>
#include <string_view>

namespace outside {

// How the register reaches the central server: in the clear or over TLS, and the token it
// presents. Every HTTP exchange with the server (remote methods, built files, the structure
// package) takes its settings from here, so verification cannot be left out on one path.
struct TransportSecurity {
  bool https = false;
  std::string caFile;  // CA bundle that signs the server's certificate; empty: the system's store
  std::string token;   // the register's token; empty: none is presented

  std::string_view scheme() const { return https ? "https://" : "http://"; }
};

// The request header carrying the token, as "Bearer <token>".
inline constexpr std::string_view kAuthorizationHeader = "Authorization";
inline constexpr std::string_view kBearerPrefix = "Bearer ";

// Raises ServerError when the token cannot travel in a header line (a control character or a
// non-ASCII byte would break the request or smuggle another header). The text never shows
// the token.
void checkToken(std::string_view token);

}  // namespace outside
