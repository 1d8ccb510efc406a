#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "db/connect.h"
#include "db/core/connection.h"
#include "schema/procedures.h"

namespace schema_test {

// A local database holding the central model's tables that the procedures and triggers use,
// with the thirteen objects installed by AplicaProcedures. `local` is the register's own
// connection; `tool()` connects as the database's management tool does.
class ServerCodeFixture : public ::testing::Test {
 protected:
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kivtab-server-code-" + std::to_string(::getpid()));
  std::string file = (dir / "LOJA.db").string();
  std::unique_ptr<db::Connection> local;

  void SetUp() override {
    std::filesystem::create_directories(dir);
    local = db::connect("Provider=SQLite;User ID=dbo;Data Source=" + file);
    const std::set<std::string> tables = {
        "MOVICLIE",        "NOVOCODIGO",  "EXTRATOCONS", "SALDOCONS",      "KDSMENSAGEM",
        "KDSOPERACAOTEMP", "LOGOPERAVND", "COMANDAVEN",  "COMANDAVENTEMP", "VENDAREST",
        "OPERADOR",        "CAIXA",       "LOGOPERKIV",  "MOVCAIXA",       "VENDA",
        "LOGNFCE",         "HISTPEDCONS", "CMD_LOG",     "ITCOMANDAVEN",   "ITCMD_LOG"};
    for (const auto& table : central::centralModel().tables())
      if (tables.count(table.name))
        for (const auto& ddl : central::tableDdl(table)) local->execute(ddl);
    std::vector<std::string> failures;
    const bool installed = schema::AplicaProcedures(
        {[&failures](std::string_view message, std::string_view) {
           if (message.rfind("Exception", 0) == 0) failures.emplace_back(message);
         },
         [] {}, [this]() -> db::Connection& { return *local; }, [] {}, "MSSQL"});
    ASSERT_TRUE(installed) << (failures.empty() ? "" : failures.front());
  }
  void TearDown() override {
    local.reset();
    std::filesystem::remove_all(dir);
  }

  std::unique_ptr<db::Connection> tool() {
    return db::connect(
        "Provider=SQLite;User ID=dbo;Application Name=Microsoft SQL Server Management Studio - "
        "Query;Data Source=" +
        file);
  }
  db::Value scalar(const std::string& sql, const db::Params& params = {}) {
    auto rows = local->query(sql, params);
    if (!rows->next()) return {};
    return rows->at(0);
  }
  int64_t count(const std::string& sql) { return scalar(sql).asInt(); }
  std::string text(const std::string& sql) { return scalar(sql).asText(); }
};

}  // namespace schema_test
