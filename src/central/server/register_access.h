#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "central/server/register_tokens.h"
#include "db/core/value.h"

namespace central::server {

// A call or a file the caller may not have: answered with `status` (401 without a valid token,
// 403 for another branch's data) and a text that never holds the token.
class AccessRefused : public std::runtime_error {
 public:
  AccessRefused(int status, const std::string& text) : std::runtime_error(text), status(status) {}
  int status;
};

// The register a request's "Authorization: Bearer <token>" header names. Raises AccessRefused
// (401) for a missing or unknown token.
const RegisterIdentity& authenticate(const RegisterTokens& tokens, std::string_view header);

// Raises AccessRefused (403) when the method's branch argument names another branch than the
// caller's. Methods without a branch argument serve nothing branch-specific.
void checkBranchArgument(const RegisterIdentity& caller, std::string_view object,
                         std::string_view method, const std::vector<db::Value>& args);

}  // namespace central::server
