#include "central/server/tls_certificate.h"

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace central::server {
namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
struct CertificateFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
};

}  // namespace

void checkServerCertificate(const std::string& certFile) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(certFile.c_str(), "rb"));
  if (!file) throw std::runtime_error("cannot read the TLS certificate " + certFile);
  std::unique_ptr<X509, CertificateFree> certificate(
      PEM_read_X509(file.get(), nullptr, nullptr, nullptr));
  if (!certificate) throw std::runtime_error(certFile + " holds no PEM certificate");
  if (X509_cmp_current_time(X509_get0_notAfter(certificate.get())) <= 0)
    throw std::runtime_error("the TLS certificate in " + certFile + " has expired");
  if (X509_cmp_current_time(X509_get0_notBefore(certificate.get())) >= 0)
    throw std::runtime_error("the TLS certificate in " + certFile + " is not valid yet");
}

}  // namespace central::server
