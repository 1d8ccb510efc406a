#include "db/core/connection_string.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

using db::EngineKind;

TEST(ParseConnectionString, KeysValuesAndQuoting) {
  const auto items = db::parseConnectionString(
      " Provider = SQLOLEDB.1 ;Password='a;b''c';User ID=\"sa\";;Extended={x;}}y}; Empty=");
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].key, "Provider");
  EXPECT_EQ(items[0].value, "SQLOLEDB.1");
  EXPECT_EQ(items[1].value, "a;b'c");
  EXPECT_EQ(items[2].value, "sa");
  EXPECT_EQ(items[3].value, "x;}y");
  EXPECT_EQ(items[4].value, "");
  EXPECT_EQ(db::findConnectionValue(items, "user id").value(), "sa");
  EXPECT_FALSE(db::findConnectionValue(items, "Data Source"));
  EXPECT_TRUE(db::parseConnectionString("").empty());
}

TEST(ParseConnectionString, MalformedItemsFailWithoutEchoingSecrets) {
  for (const char* bad : {"Provider=X;Password=secret99;garbage", "Password='secret99", "=secret99",
                          "Password='secret99' tail"}) {
    try {
      db::parseConnectionString(bad);
      ADD_FAILURE() << bad;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()).find("secret99"), std::string::npos) << e.what();
    }
  }
}

TEST(LoginName, TakesTextUpToSemicolonUpperCased) {
  EXPECT_EQ(db::loginName("Provider=SQLOLEDB.1;User ID=sa;Initial Catalog=LOJA"), "SA");
  EXPECT_EQ(db::loginName("user id=Caixa01;Data Source=X"), "CAIXA01");
  EXPECT_EQ(db::loginName("Provider=SQLOLEDB.1;Initial Catalog=LOJA"), "");
  // Nothing after the name: no ';' follows, so there is no login.
  EXPECT_EQ(db::loginName("Provider=SQLOLEDB.1;User ID=sa"), "");
  // The ';' must come within 255 characters.
  EXPECT_EQ(db::loginName("User ID=" + std::string(254, 'a') + ";"), std::string(254, 'A'));
  EXPECT_EQ(db::loginName("User ID=" + std::string(255, 'a') + ";"), "");
}

TEST(ReplaceCatalog, KeepsProviderAndDataSourceDropsWhatLiesBetween) {
  EXPECT_EQ(
      db::replaceCatalog("Provider=SQLOLEDB.1;Initial Catalog=LOJA;Data Source=SRV01", "CENTRAL"),
      "Provider=SQLOLEDB.1;Initial Catalog=CENTRAL;Data Source=SRV01");
  EXPECT_EQ(db::replaceCatalog(
                "Provider=SQLOLEDB.1;Initial Catalog=LOJA;Persist Security Info=False;Data "
                "Source=SRV01;User ID=sa;",
                "CONS"),
            "Provider=SQLOLEDB.1;Initial Catalog=CONS;Data Source=SRV01;User ID=sa;");
  EXPECT_EQ(db::replaceCatalog("initial catalog=LOJA;data source=S", "C"),
            "initial catalog=C;data source=S");
}

TEST(SameEmbeddedDatabase, OnlyStringsLeadingToOneEmbeddedFileAreTheSameDatabase) {
  const std::string local = "Provider=SQLite;Initial Catalog=LOJA;Data Source=/tmp/kv/local.db";
  EXPECT_TRUE(db::sameEmbeddedDatabase(local, db::replaceCatalog(local, "CENTRAL")));
  EXPECT_TRUE(
      db::sameEmbeddedDatabase(local, "Provider=SQLite;Data Source=/tmp/kv/../kv/local.db"));
  EXPECT_FALSE(db::sameEmbeddedDatabase(local, "Provider=SQLite;Data Source=/tmp/kv/other.db"));
  const std::string server = "Provider=SQLOLEDB.1;Initial Catalog=LOJA;Data Source=SRV01";
  EXPECT_FALSE(db::sameEmbeddedDatabase(server, db::replaceCatalog(server, "CENTRAL")));
  EXPECT_FALSE(db::sameEmbeddedDatabase("not a string", "not a string"));
  // On a server folder the catalog names the database.
  const std::string folder = "Provider=SQLite;Initial Catalog=LOJA;Data Source=" +
                             std::filesystem::temp_directory_path().string();
  EXPECT_FALSE(db::sameEmbeddedDatabase(folder, db::replaceCatalog(folder, "CENTRAL")));
  EXPECT_TRUE(db::sameEmbeddedDatabase(folder, db::replaceCatalog(folder, "loja")));
}

TEST(SiblingConnectionString, LeadsToTheNamedDatabaseOnTheSameServer) {
  // A server: exactly the catalog replacement.
  EXPECT_EQ(db::siblingConnectionString(
                "Provider=SQLOLEDB.1;Initial Catalog=LOJA;Data Source=SRV01;User ID=sa;", "CONS"),
            "Provider=SQLOLEDB.1;Initial Catalog=CONS;Data Source=SRV01;User ID=sa;");
  // The embedded engine on a folder: the same, and never creating the database.
  const std::string folder = std::filesystem::temp_directory_path().string();
  EXPECT_EQ(db::siblingConnectionString(
                "Provider=SQLite;Initial Catalog=LOJA;Data Source=" + folder + ";Create=Yes", "C"),
            "Provider=SQLite;Initial Catalog=C;Data Source=" + folder + ";Create=No");
  // Given a database file: its folder is the server, so the sibling file is reached...
  const std::string file = "Provider=SQLite;Initial Catalog=LOJA;Data Source=/tmp/kv/loja.db";
  const std::string sibling = db::siblingConnectionString(file, "CENTRAL");
  EXPECT_EQ(sibling, "Provider=SQLite;Initial Catalog=CENTRAL;Data Source=/tmp/kv;Create=No");
  EXPECT_FALSE(db::sameEmbeddedDatabase(file, sibling));
  // ...unless the name is the file's own: then it is this database.
  EXPECT_TRUE(db::sameEmbeddedDatabase(file, db::siblingConnectionString(file, "Loja")));
  // Values that need quoting keep it.
  EXPECT_EQ(
      db::siblingConnectionString(
          "Provider=SQLite;Initial Catalog=L;Data Source=/tmp/a b;Application Name='x;y'", "C"),
      "Provider=SQLite;Initial Catalog=C;Data Source=/tmp;Application Name='x;y';Create=No");
  EXPECT_THROW(db::siblingConnectionString("Provider=SQLite;Data Source=/tmp/kv/loja.db", "C"),
               std::invalid_argument);
}

TEST(ReplaceCatalog, RefusesStringsItCannotRewriteSoundly) {
  EXPECT_THROW(db::replaceCatalog("Provider=SQLOLEDB.1;Data Source=SRV01", "C"),
               std::invalid_argument);
  EXPECT_THROW(db::replaceCatalog("Provider=SQLOLEDB.1;Initial Catalog=LOJA", "C"),
               std::invalid_argument);
  EXPECT_THROW(db::replaceCatalog("Data Source=SRV01;Initial Catalog=LOJA", "C"),
               std::invalid_argument);
  EXPECT_THROW(db::replaceCatalog("Initial Catalog=LOJA;Data Source=S", "X;Data Source=EVIL"),
               std::invalid_argument);
  EXPECT_THROW(db::replaceCatalog("Initial Catalog=LOJA;Data Source=S", "  "),
               std::invalid_argument);
}

const db::OdbcDrivers kDrivers{"FreeTDS", "OracleDrv"};

TEST(MapConnectionString, EmbeddedEngine) {
  auto t = db::mapConnectionString("Provider=SQLite;Data Source=/tmp/loja.db", kDrivers);
  EXPECT_EQ(t.kind, EngineKind::Embedded);
  EXPECT_EQ(t.path, "/tmp/loja.db");
  EXPECT_EQ(t.user, "dbo");
  EXPECT_TRUE(t.create);
  t = db::mapConnectionString("provider=sqlite;User ID=sa;Data Source='/a b;c.db';Create=No",
                              kDrivers);
  EXPECT_EQ(t.path, "/a b;c.db");
  EXPECT_EQ(t.user, "sa");
  EXPECT_FALSE(t.create);
  EXPECT_THROW(db::mapConnectionString("Provider=SQLite", kDrivers), std::invalid_argument);
  t = db::mapConnectionString(
      "Provider=SQLite;Data Source=/srv/kivtab;Initial Catalog=LOJA;Workstation ID=CAIXA01;"
      "Application Name=kivtab",
      kDrivers);
  EXPECT_EQ(t.path, "/srv/kivtab");
  EXPECT_EQ(t.catalog, "LOJA");
  EXPECT_EQ(t.workstationId, "CAIXA01");
  EXPECT_EQ(t.applicationName, "kivtab");
}

TEST(MapConnectionString, SqlServerProvidersBecomeOdbc) {
  for (const char* provider :
       {"SQLOLEDB.1", "SQLOLEDB", "SQLNCLI11", "SQLNCLI10.1", "MSOLEDBSQL", "MSOLEDBSQL19"}) {
    const auto t = db::mapConnectionString(
        std::string("Provider=") + provider +
            ";Password=p;User ID=sa;Initial Catalog=LOJA;Data Source=SRV01\\INST;"
            "Connect Timeout=5",
        kDrivers);
    EXPECT_EQ(t.kind, EngineKind::SqlServerOdbc) << provider;
    EXPECT_EQ(t.odbc,
              "DRIVER={FreeTDS};SERVER=SRV01\\INST;DATABASE=LOJA;UID=sa;PWD=p;"
              "ClientCharset=UTF-8;")
        << provider;
    EXPECT_EQ(t.password, "p");
    EXPECT_EQ(t.loginTimeoutSeconds, 5);
  }
  const auto quoted = db::mapConnectionString("Provider=SQLOLEDB.1;Password=\"a;b}\";Data Source=S",
                                              db::OdbcDrivers{"ODBC Driver 18", "x"});
  EXPECT_EQ(quoted.odbc, "DRIVER={ODBC Driver 18};SERVER=S;PWD={a;b}}};");
  const auto trusted = db::mapConnectionString(
      "Provider=SQLOLEDB.1;Integrated Security=SSPI;User ID=x;Password=y;Data Source=S", kDrivers);
  EXPECT_EQ(trusted.odbc, "DRIVER={FreeTDS};SERVER=S;Trusted_Connection=Yes;ClientCharset=UTF-8;");
  const auto named = db::mapConnectionString(
      "Provider=SQLOLEDB.1;Data Source=S;Application Name=kivtab;Workstation ID=CAIXA01", kDrivers);
  EXPECT_EQ(named.odbc, "DRIVER={FreeTDS};SERVER=S;APP=kivtab;WSID=CAIXA01;ClientCharset=UTF-8;");
  EXPECT_THROW(db::mapConnectionString("Provider=SQLOLEDB.1;Initial Catalog=X", kDrivers),
               std::invalid_argument);
  EXPECT_THROW(
      db::mapConnectionString("Provider=SQLOLEDB.1;Data Source=S;Connect Timeout=soon", kDrivers),
      std::invalid_argument);
}

TEST(MapConnectionString, OracleAndPassThrough) {
  auto t = db::mapConnectionString("Provider=MSDAORA.1;User ID=loja;Password=pw;Data Source=ORCL",
                                   kDrivers);
  EXPECT_EQ(t.kind, EngineKind::OracleOdbc);
  EXPECT_EQ(t.odbc, "DRIVER={OracleDrv};DBQ=ORCL;UID=loja;PWD=pw;");

  t = db::mapConnectionString("Driver={SQLite3};Database=/tmp/x.db;PWD={a;b}", kDrivers);
  EXPECT_EQ(t.kind, EngineKind::Odbc);
  EXPECT_EQ(t.odbc, "Driver={SQLite3};Database=/tmp/x.db;PWD={a;b}");
  EXPECT_EQ(t.password, "a;b");

  t = db::mapConnectionString("Provider=ODBC;DSN=loja;UID=u", kDrivers);
  EXPECT_EQ(t.odbc, "DSN=loja;UID=u;");
}

TEST(MapConnectionString, ProviderErrorsAreClear) {
  try {
    db::mapConnectionString("Provider=Jet.4;Password=hush;Data Source=x", kDrivers);
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("Jet.4"), std::string::npos);
    EXPECT_EQ(std::string(e.what()).find("hush"), std::string::npos);
  }
  EXPECT_THROW(db::mapConnectionString("Data Source=x;User ID=sa", kDrivers),
               std::invalid_argument);
}

TEST(OdbcDrivers, EnvironmentOverridesDefaults) {
  unsetenv("KIVTAB_ODBC_SQLSERVER_DRIVER");
  unsetenv("KIVTAB_ODBC_ORACLE_DRIVER");
  EXPECT_EQ(db::OdbcDrivers::fromEnvironment().sqlServer, "FreeTDS");
  setenv("KIVTAB_ODBC_SQLSERVER_DRIVER", "MyTds", 1);
  setenv("KIVTAB_ODBC_ORACLE_DRIVER", "MyOra", 1);
  const auto d = db::OdbcDrivers::fromEnvironment();
  EXPECT_EQ(d.sqlServer, "MyTds");
  EXPECT_EQ(d.oracle, "MyOra");
  const auto t = db::mapConnectionString("Provider=SQLOLEDB.1;Data Source=S");
  EXPECT_EQ(t.odbc, "DRIVER={MyTds};SERVER=S;");
  unsetenv("KIVTAB_ODBC_SQLSERVER_DRIVER");
  unsetenv("KIVTAB_ODBC_ORACLE_DRIVER");
}

}  // namespace
