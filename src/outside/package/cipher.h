#pragma once

#include <string>
#include <string_view>

namespace outside {

// The stored connection string may be kept enciphered as "enc:" followed by base64 of the text
// XORed with a fixed key. This only keeps the password from being read at a glance: anyone with
// this program can reverse it. It is not protection.
inline constexpr std::string_view kEncipheredPrefix = "enc:";

// Returns the text behind an "enc:" value; any other value is returned as it stands.
// Raises std::invalid_argument for an "enc:" value that is not valid base64.
std::string UncriptoPlus(std::string_view stored);
// The "enc:" form of a plain text, for writing the registry file.
std::string CriptoPlus(std::string_view plain);

}  // namespace outside
