#pragma once

#include <string>

namespace central::server {

// Refuses, before the server starts, a certificate file that holds no PEM certificate or whose
// certificate is expired or not yet valid: registers would only see failed handshakes.
// Raises std::runtime_error naming the file.
void checkServerCertificate(const std::string& certFile);

}  // namespace central::server
