#pragma once

#include <curl/curl.h>

#include <memory>

#include "outside/transport_security.h"

namespace outside {

struct CurlHeadersDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHeaders = std::unique_ptr<curl_slist, CurlHeadersDeleter>;

// Puts the transport settings on a handle: with https, only https is spoken (a plain URL fails
// instead of travelling in the clear), the certificate chain and the host name are verified
// against caFile or the system store, and nothing turns that off. The token goes into `headers`,
// which the caller sets on the handle and keeps alive until the transfer ends.
void applySecurity(CURL* curl, const TransportSecurity& security, CurlHeaders& headers);

}  // namespace outside
