#include "db/connect.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../odbc/odbc_test_env.h"
#include "db/core/connection.h"

namespace {

TEST(Connect, ProviderChoosesTheEngine) {
  auto embedded = db::connect("Provider=SQLite;User ID=caixa;Data Source=" +
                              odbc_test::freshDatabasePath("connect-embedded"));
  EXPECT_EQ(embedded->engineName(), "embedded");
  auto rows = embedded->query("SELECT USER AS U");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ((*rows)["U"].asText(), "caixa");

  auto odbc =
      db::connect("Driver={KivSQLite};Database=" + odbc_test::freshDatabasePath("connect-odbc"));
  EXPECT_EQ(odbc->engineName(), "odbc");
  EXPECT_TRUE(odbc->isOpen());
}

TEST(Connect, AFolderIsAServerWhoseCatalogNamesTheDatabase) {
  const std::filesystem::path folder =
      std::filesystem::path(odbc_test::freshDatabasePath("connect-folder")).replace_extension();
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  auto loja = db::connect("Provider=SQLite;Data Source=" + folder.string() +
                          ";Initial Catalog=LOJA;User ID=dbo;Application Name=X");
  EXPECT_TRUE(std::filesystem::exists(folder / "LOJA.db"));
  auto rows = loja->query("SELECT DB_NAME() AS D, APP_NAME() AS A");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ((*rows)["D"].asText(), "LOJA");
  EXPECT_EQ((*rows)["A"].asText(), "X");
  EXPECT_THROW(db::connect("Provider=SQLite;Data Source=" + folder.string()), db::Error);
  EXPECT_THROW(
      db::connect("Provider=SQLite;Data Source=" + folder.string() + ";Initial Catalog=../LOJA"),
      db::Error);
  loja.reset();
  std::filesystem::remove_all(folder);
}

TEST(Connect, BadStringsAreConnectionErrorsWithoutThePassword) {
  for (const char* bad : {"Provider=Unknown.1;Password=Zx9-secret;Data Source=x",
                          "Provider=SQLOLEDB.1;Password=Zx9-secret", "Password='Zx9-secret"}) {
    try {
      db::connect(bad);
      ADD_FAILURE() << bad;
    } catch (const db::Error& e) {
      EXPECT_EQ(e.kind(), db::ErrorKind::Connection);
      EXPECT_EQ(std::string(e.what()).find("Zx9-secret"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
