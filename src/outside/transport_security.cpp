#include "outside/transport_security.h"

#include "outside/app_server.h"

namespace outside {

void checkToken(std::string_view token) {
  for (const char c : token) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F)
      throw ServerError(
          "the register token (WebToken) holds a blank, a line break or another character that "
          "cannot be sent; it was not sent");
  }
}

}  // namespace outside
