// The smaller parts of the structure update: table lists, the server's reply, the package URL
// and proxy, the error report and the download progress text.
#include <gtest/gtest.h>

#include "outside/package/registry_file.h"
#include "schema/http_source.h"
#include "schema/package_reply.h"
#include "schema/package_retrieval.h"
#include "schema/table_lists.h"

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> found;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    found.push_back(text.substr(start, end - start));
  found.push_back(text.substr(start));
  return found;
}

TEST(SchemaTableLists, FreshDatabaseSendsEachRowsFlagAndAnExistingOneNOnly) {
  ASSERT_EQ(schema::cacheTables().size(), 263u);
  const auto fresh = schema::buildTableListTexts(false);
  const auto cache = lines(fresh.cache);
  const auto work = lines(fresh.workTables);
  ASSERT_EQ(cache.size(), 263u);
  ASSERT_EQ(work.size(), 263u);
  EXPECT_EQ(cache.front(), "TIPOCONSCLI=N");
  EXPECT_EQ(cache.back(), "ORIGEMVENDAKIV=N");
  EXPECT_EQ(work.back(), "SA_ORIGEMVENDAKIV=N");
  std::vector<std::string> flagged;
  for (size_t i = 0; i < cache.size(); ++i) {
    EXPECT_EQ("SA_" + cache[i], work[i]);
    if (cache[i].ends_with("=S")) flagged.push_back(cache[i].substr(0, cache[i].size() - 2));
  }
  EXPECT_EQ(flagged,
            (std::vector<std::string>{"TURCAIXA", "VENDA", "REDUCAOZ", "MOVCAIXA", "ITEMVENDA",
                                      "IMPOSTOREDZ", "TOTNFISCREDZ", "FORMPGTOREDZ", "ITVENDAIMPOS",
                                      "ITVENDACAN", "PARAMPRODFILI"}));

  const auto existing = schema::buildTableListTexts(true);
  EXPECT_EQ(existing.cache.find("=S"), std::string::npos);
  EXPECT_EQ(existing.workTables.find("=S"), std::string::npos);
}

TEST(SchemaTableLists, ARestrictingListKeepsOnlyItsNamesInEachList) {
  const auto only =
      schema::buildTableListTexts(false, std::vector<std::string>{"venda", "SA_CAIXA"});
  EXPECT_EQ(only.cache, "VENDA=S");
  EXPECT_EQ(only.workTables, "SA_CAIXA=N");
}

TEST(SchemaPackageReply, PairsAreReadByNameAndTheTokenGivesItsLast22Characters) {
  const auto location = schema::parsePackageLocation(
      "Address=10.0.0.1:211&Login=u&Password=p=w&Path=/files/struct/&FileDir=C:\\srv");
  EXPECT_EQ(location.address, "10.0.0.1:211");
  EXPECT_EQ(location.login, "u");
  EXPECT_EQ(location.password, "p=w");
  EXPECT_EQ(location.path, "/files/struct/");
  EXPECT_EQ(location.fileDir, "C:\\srv");
  EXPECT_EQ(schema::parsePackageLocation("Path=/x").address, "");

  EXPECT_EQ(schema::packageDirectoryName("PKG_20261208_0001_ABCDEFGHIJ"), "261208_0001_ABCDEFGHIJ");
  EXPECT_EQ(schema::packageDirectoryName("SHORT"), "SHORT");
  for (const char* bad : {"", "..", "a/b", "x\\..\\y", "C:x"})
    EXPECT_THROW(schema::packageDirectoryName(bad), std::runtime_error) << bad;
}

const std::string kKey =
    "HKEY_LOCAL_MACHINE\\Software\\MORLEND\\Sistemas Integrados Morlend\\WebCli";

schema::HttpSource source(const std::string& values, const outside::Endpoint& central = {}) {
  const auto registry = outside::RegistryFile::parse("[" + kKey + "]\n" + values, "test");
  return schema::readHttpSource(registry, schema::parsePackageLocation("Address=central.host"),
                                "/files/struct/DIR/struct.zip", central);
}

TEST(SchemaHttpSource, UrlComesFromTheRegistryOrTheReplysAddress) {
  EXPECT_EQ(source("HttpHostAddr=   \n").url, "http://central.host/files/struct/DIR/struct.zip");
  EXPECT_EQ(source("HttpHostAddr= pkg.host \nHttpHttps=dword:1\nHttpPort= 8443 \n").url,
            "https://pkg.host:8443/files/struct/DIR/struct.zip");
  EXPECT_EQ(source("HttpHttps=dword:2\n").url, "http://central.host/files/struct/DIR/struct.zip");
  EXPECT_FALSE(source("HttpUseProxy=dword:0\nHttpProxyHost=p\n").proxy.has_value());
}

TEST(SchemaHttpSource, TlsToTheCentralServerCoversThePackageAndTheTokenStaysWithIt) {
  const outside::Endpoint central{"central.host", 443, {true, "/etc/ca.pem", "tok"}};
  const auto sameServer = source("HttpHttps=dword:0\nHttpPort=443\n", central);
  EXPECT_EQ(sameServer.url, "https://central.host:443/files/struct/DIR/struct.zip");
  EXPECT_TRUE(sameServer.security.https);
  EXPECT_EQ(sameServer.security.caFile, "/etc/ca.pem");
  EXPECT_EQ(sameServer.security.token, "tok");

  const auto otherHost = source("HttpHostAddr=files.host\nHttpPort=443\n", central);
  EXPECT_EQ(otherHost.url, "https://files.host:443/files/struct/DIR/struct.zip");
  EXPECT_TRUE(otherHost.security.token.empty());
}

TEST(SchemaHttpSource, ProxyValuesAreReadOnlyWhenSwitchedOnAndItsPortMustBeANumber) {
  const auto withProxy = source(
      "HttpUseProxy=dword:1\nHttpProxyHost=proxy.lan\nHttpProxyPort=3128\nHttpProxyUserId=u\n"
      "HttpProxyPass=p\n");
  ASSERT_TRUE(withProxy.proxy.has_value());
  EXPECT_EQ(withProxy.proxy->host, "proxy.lan");
  EXPECT_EQ(withProxy.proxy->port, 3128);
  EXPECT_EQ(withProxy.proxy->user, "u");
  EXPECT_EQ(withProxy.proxy->password, "p");
  EXPECT_FALSE(source("HttpUseProxy=dword:1\n").proxy->port.has_value());
  EXPECT_THROW(source("HttpUseProxy=dword:1\nHttpProxyPort=31x8\n"), std::runtime_error);
  EXPECT_THROW(source("HttpUseProxy=dword:1\nHttpProxyPort=\n"), std::runtime_error);
}

TEST(SchemaDownloadReport, DetailNamesEverythingButThePassword) {
  const auto location = schema::parsePackageLocation(
      "Address=srv&Login=central&Password=TOPSECRET&Path=/p/&FileDir=D:\\pkg");
  const std::string detail =
      schema::downloadErrorDetail("boom", location, "/p/DIR/struct.zip", "/work/DIR/struct.zip");
  EXPECT_EQ(detail,
            "Erro ocorrido: boom\r\n\r\nDados do Servidor de FTP:\r\n\r\nEndereço: srv\r\n"
            "Usuário: central\r\nSenha: **********\r\nDir. Virtual FTP: /p/DIR/struct.zip\r\n"
            "Dir. Físico FTP: D:\\pkg\r\n\r\nDados do Computador Local (destino do FTP):\r\n\r\n"
            "Dir. Destino FTP: /work/DIR/struct.zip");
}

TEST(SchemaDownloadReport, ProgressTextCountsWholeKilobytes) {
  EXPECT_EQ(schema::progressText(5000, 10240), "4 Kbytes recebidos de um total de 10");
  EXPECT_EQ(schema::progressText(0, 0), "0 Kbytes recebidos de um total de 0");
}

}  // namespace
