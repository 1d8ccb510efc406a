#include <gtest/gtest.h>

#include "db/core/text.h"
#include "outside/package/cipher.h"
#include "outside/package/package.h"
#include "outside/package/registry_file.h"
#include "temp_dir.h"

namespace outside {
namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string kWebCli(Package::_sSiteWebSrvKey);

TEST(RegistryFile, ReadsTypedValuesWithoutRegardToCase) {
  const RegistryFile file =
      RegistryFile::parse("\xEF\xBB\xBF; comment\n[" + kWebCli +
                              "]\r\nIPServer = 10.0.0.5 \r\nWebPort=dword:8211\n"
                              "Pad=sz:  two blanks  \nHttpHttps=dword:1\nEmpty=\n",
                          "test.ini");
  EXPECT_EQ(file.get(db::upper(kWebCli), "ipserver")->asText(), "10.0.0.5");
  EXPECT_EQ(file.get(kWebCli, "WebPort")->type, RegistryValue::Type::Dword);
  EXPECT_EQ(file.get(kWebCli, "WebPort")->asInt(), 8211);
  EXPECT_EQ(file.get(kWebCli, "Pad")->asText(), "  two blanks  ");
  EXPECT_EQ(file.get(kWebCli, "Empty")->asText(), "");
  EXPECT_FALSE(file.get(kWebCli, "Missing"));
  EXPECT_FALSE(file.get("HKEY_LOCAL_MACHINE\\Other", "IPServer"));
  EXPECT_EQ(RegistryValue::ofText("x1").asInt(), std::nullopt);
}

TEST(RegistryFile, MalformedFilesNameTheLine) {
  auto message = [](const std::string& text) {
    try {
      RegistryFile::parse(text, "r.ini");
    } catch (const RegistryError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(message("[K]\nA=1\n[unclosed\n").rfind("r.ini:3:", 0), 0u);
  EXPECT_EQ(message("A=1\n").rfind("r.ini:1:", 0), 0u);
  EXPECT_EQ(message("[K]\njust text\n").rfind("r.ini:2:", 0), 0u);
  EXPECT_EQ(message("[K]\nN=dword:99999999999\n").rfind("r.ini:2:", 0), 0u);
  EXPECT_EQ(message("[K]\nN=dword:12x\n").rfind("r.ini:2:", 0), 0u);
  EXPECT_EQ(message("[]\n").rfind("r.ini:1:", 0), 0u);
}

TEST(RegistryFile, RewritingOneValueKeepsEverythingElse) {
  TempDir dir;
  const auto path = dir.path() / "registry.ini";
  const std::string original = "; kept comment\n[HKEY_LOCAL_MACHINE\\Software\\Other]\nA=1\n\n[" +
                               kWebCli + "]\nIPServer=old\nWebPort=dword:9000\n\n[Last]\nZ=z\n";
  writeFile(path, original);

  RegistryFile file = RegistryFile::load(path);
  file.set(kWebCli, "IPServer", RegistryValue::ofText("127.0.0.1"));
  file.set(kWebCli, "NewValue", RegistryValue::ofText("dword:not a number"));
  file.set("HKEY_LOCAL_MACHINE\\Fresh", "N", RegistryValue::ofDword(7));
  file.save(path);

  EXPECT_EQ(readFile(path), "; kept comment\n[HKEY_LOCAL_MACHINE\\Software\\Other]\nA=1\n\n[" +
                                kWebCli +
                                "]\nIPServer=127.0.0.1\nWebPort=dword:9000\n"
                                "NewValue=sz:dword:not a number\n\n[Last]\nZ=z\n"
                                "[HKEY_LOCAL_MACHINE\\Fresh]\nN=dword:7\n");
  const RegistryFile again = RegistryFile::load(path);
  EXPECT_EQ(again.get(kWebCli, "NewValue")->asText(), "dword:not a number");
  EXPECT_EQ(again.get("HKEY_LOCAL_MACHINE\\Fresh", "N")->asInt(), 7);
  // The rewrite went through a temporary file that is gone now.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_THROW(file.set(kWebCli, "Bad", RegistryValue::ofText("a\nb")), RegistryError);
  EXPECT_THROW(file.set(kWebCli, "A=B", RegistryValue::ofText("x")), RegistryError);
}

TEST(RegistryFile, MissingFileReadsEmptyAndUnwritableTargetRaises) {
  TempDir dir;
  EXPECT_FALSE(RegistryFile::load(dir.path() / "none.ini").hasKey(kWebCli));
  RegistryFile file;
  file.set(kWebCli, "IPServer", RegistryValue::ofText("h"));
  EXPECT_THROW(file.save(dir.path() / "no" / "such" / "dir.ini"), RegistryError);
}

TEST(Cipher, EncipheredValuesRoundTripAndPlainOnesPassThrough) {
  const std::string conn = "Provider=SQLOLEDB.1;Password=s3gredo;User ID=sa;Initial Catalog=LOJA";
  const std::string stored = CriptoPlus(conn);
  EXPECT_EQ(stored.rfind("enc:", 0), 0u);
  EXPECT_EQ(stored.find("s3gredo"), std::string::npos);
  EXPECT_EQ(UncriptoPlus(stored), conn);
  EXPECT_EQ(UncriptoPlus(conn), conn);
  EXPECT_THROW(UncriptoPlus("enc:***"), std::invalid_argument);
}

TEST(PackageSettings, ReadEndpointConnectionStringAndDirectories) {
  TempDir dir;
  const auto path = dir.path() / "registry.ini";
  Package package({dir.path(), path});
  // Nothing configured: clear errors, an empty connection string, the program directory.
  EXPECT_THROW(package.WebURL(), RegistryError);
  EXPECT_THROW(package.WebPort(), RegistryError);
  EXPECT_EQ(package._GetStringConexKiv(), "");
  EXPECT_EQ(package.WorkingDirectory(), dir.path());

  const std::string conn = "Provider=SQLite;Data Source=" + (dir.path() / "local.db").string();
  writeFile(path, "[" + kWebCli + "]\nIPServer=127.0.0.1\nWebPort=8211\nStringConex=" +
                      CriptoPlus(conn) + "\nWorkingDirectory=/var/tmp/work\n");
  EXPECT_EQ(package.endpoint().host, "127.0.0.1");
  EXPECT_EQ(package.endpoint().port, 8211);
  EXPECT_EQ(package._GetStringConexKiv(), conn);
  EXPECT_EQ(package.UsedDatabase(), "MSSQL");
  EXPECT_EQ(package.WorkingDirectory(), "/var/tmp/work");

  package.writeSetting("StringConex", RegistryValue::ofText("Provider=MSDAORA;Data Source=ORCL"));
  EXPECT_EQ(package.UsedDatabase(), "ORACLE");
  EXPECT_EQ(package.WebURL(), "127.0.0.1");

  // Time-outs of the central exchanges, in seconds.
  EXPECT_EQ(package.endpoint().timeouts.connect, std::chrono::seconds(30));
  EXPECT_EQ(package.endpoint().timeouts.stall, std::chrono::seconds(120));
  package.writeSetting("WebConnectTimeout", RegistryValue::ofDword(5));
  package.writeSetting("WebTimeout", RegistryValue::ofText("7"));
  EXPECT_EQ(package.endpoint().timeouts.connect, std::chrono::seconds(5));
  EXPECT_EQ(package.endpoint().timeouts.stall, std::chrono::seconds(7));
  package.writeSetting("WebTimeout", RegistryValue::ofText("soon"));
  EXPECT_THROW(package.endpoint(), RegistryError);

  package.writeSetting("WebPort", RegistryValue::ofDword(70000));
  EXPECT_THROW(package.WebPort(), RegistryError);
  package.writeSetting("StringConex", RegistryValue::ofText("enc:%%"));
  EXPECT_THROW(package._GetStringConexKiv(), RegistryError);
}

TEST(RegistryFile, ARewriteKeepsTheFilesModeAndANewFileIsTheOwnersOnly) {
  namespace fs = std::filesystem;
  TempDir dir;
  const auto path = dir.path() / "registry.ini";
  Package package({dir.path(), path});
  package.writeSetting("IPServer", RegistryValue::ofText("10.0.0.1"));
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);

  const auto shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(path, shared, fs::perm_options::replace);
  package.writeSetting("IPServer", RegistryValue::ofText("10.0.0.2"));
  EXPECT_EQ(fs::status(path).permissions(), shared);
  EXPECT_EQ(package.WebURL(), "10.0.0.2");
}

TEST(PackageSettings, TransportSettingsAndAnEncipheredTokenAreRead) {
  TempDir dir;
  const auto path = dir.path() / "registry.ini";
  Package package({dir.path(), path});
  EXPECT_FALSE(package.transportSecurity().https);
  writeFile(path, "[" + kWebCli + "]\nWebHttps=dword:1\nWebCAFile= /etc/kivtab/ca.pem \nWebToken=" +
                      CriptoPlus("t'o\"k") + "\n");
  const TransportSecurity security = package.transportSecurity();
  EXPECT_TRUE(security.https);
  EXPECT_EQ(security.caFile, "/etc/kivtab/ca.pem");
  EXPECT_EQ(security.token, "t'o\"k");
  package.writeSetting("WebToken", RegistryValue::ofText("enc:%%secret"));
  try {
    package.transportSecurity();
    ADD_FAILURE() << "a bad enc: token was read";
  } catch (const RegistryError& e) {
    EXPECT_EQ(std::string(e.what()).find("secret"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace outside
