#include "test_certificates.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

namespace testing_support {
namespace {

constexpr long kDay = 24 * 60 * 60;

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Certificate = std::unique_ptr<X509, CertificateFree>;

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificate: ") + what);
}

Key newKey() {
  Key key(EVP_EC_gen("P-256"));
  check(key != nullptr, "cannot make a key");
  return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  check(extension != nullptr, "cannot make an extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

Certificate newCertificate(const std::string& commonName, EVP_PKEY* key, long fromDays,
                           long toDays) {
  static long serial = 1;
  Certificate certificate(X509_new());
  X509_set_version(certificate.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), ++serial);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), fromDays * kDay);
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), toDays * kDay);
  X509_set_pubkey(certificate.get(), key);
  X509_NAME* name = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
  return certificate;
}

void writePem(const std::filesystem::path& file, X509* certificate, EVP_PKEY* key) {
  FILE* out = std::fopen(file.c_str(), "wb");
  check(out != nullptr, "cannot write a PEM file");
  const bool ok = certificate
                      ? PEM_write_X509(out, certificate)
                      : PEM_write_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(out);
  check(ok, "cannot write a PEM file");
}

bool isIpAddress(const std::string& host) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
         inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

}  // namespace

struct TestAuthority::Keys {
  Key key;
  Certificate certificate;
};

TestAuthority::TestAuthority(const std::filesystem::path& directory, const std::string& stem)
    : keys_(std::make_unique<Keys>()),
      directory_(directory),
      caFile_(directory / (stem + "-ca.pem")) {
  keys_->key = newKey();
  keys_->certificate = newCertificate(stem + " test CA", keys_->key.get(), -1, 30);
  X509* ca = keys_->certificate.get();
  X509_set_issuer_name(ca, X509_get_subject_name(ca));
  addExtension(ca, ca, NID_basic_constraints, "critical,CA:TRUE");
  addExtension(ca, ca, NID_key_usage, "critical,keyCertSign,cRLSign");
  addExtension(ca, ca, NID_subject_key_identifier, "hash");
  check(X509_sign(ca, keys_->key.get(), EVP_sha256()) > 0, "cannot sign the CA");
  writePem(caFile_, ca, nullptr);
}

TestAuthority::~TestAuthority() = default;

CertificateFiles TestAuthority::issue(const std::string& stem,
                                      const std::vector<std::string>& hosts, long fromDays,
                                      long toDays) const {
  Key key = newKey();
  Certificate certificate =
      newCertificate(hosts.empty() ? stem : hosts.front(), key.get(), fromDays, toDays);
  X509* ca = keys_->certificate.get();
  X509_set_issuer_name(certificate.get(), X509_get_subject_name(ca));
  std::string names;
  for (const auto& host : hosts)
    names += (names.empty() ? "" : ",") + std::string(isIpAddress(host) ? "IP:" : "DNS:") + host;
  if (!names.empty()) addExtension(certificate.get(), ca, NID_subject_alt_name, names);
  addExtension(certificate.get(), ca, NID_basic_constraints, "CA:FALSE");
  addExtension(certificate.get(), ca, NID_ext_key_usage, "serverAuth");
  addExtension(certificate.get(), ca, NID_authority_key_identifier, "keyid");
  check(X509_sign(certificate.get(), keys_->key.get(), EVP_sha256()) > 0, "cannot sign");
  CertificateFiles files{directory_ / (stem + ".pem"), directory_ / (stem + "-key.pem")};
  writePem(files.certificate, certificate.get(), nullptr);
  writePem(files.key, nullptr, key.get());
  return files;
}

}  // namespace testing_support
