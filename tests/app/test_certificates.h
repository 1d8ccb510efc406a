#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

struct CertificateFiles {
  std::filesystem::path certificate;
  std::filesystem::path key;
};

// A throw-away certificate authority made at test time: keys never live in the repository.
class TestAuthority {
 public:
  // Writes <stem>-ca.pem (its certificate) into `directory`.
  TestAuthority(const std::filesystem::path& directory, const std::string& stem);
  ~TestAuthority();
  TestAuthority(const TestAuthority&) = delete;
  TestAuthority& operator=(const TestAuthority&) = delete;

  const std::filesystem::path& caFile() const { return caFile_; }

  // A server certificate for `hosts` (IP addresses or DNS names), valid from `fromDays` to
  // `toDays` days from now, written as <stem>.pem and <stem>-key.pem.
  CertificateFiles issue(const std::string& stem, const std::vector<std::string>& hosts,
                         long fromDays = -1, long toDays = 30) const;

 private:
  struct Keys;
  std::unique_ptr<Keys> keys_;
  std::filesystem::path directory_;
  std::filesystem::path caFile_;
};

}  // namespace testing_support
