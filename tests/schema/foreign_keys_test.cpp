// The foreign keys of the sale and order tables, applied to an embedded database whose tables come
// from the central model.
#include "schema/foreign_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "db/core/text.h"
#include "db/embedded/embedded.h"
#include "recording_connection.h"

namespace {

using Line = std::pair<std::string, std::string>;

// Every table a foreign-key statement names, found by the words that follow "table", "on" and
// "references".
std::set<std::string> tablesNamed() {
  std::set<std::string> names;
  for (const auto& statement : schema::foreignKeyStatements()) {
    const std::string text = db::upper(std::string(statement.text));
    for (const std::string word : {"TABLE ", " ON ", "REFERENCES "}) {
      size_t at = text.find(word);
      if (at == std::string::npos) continue;
      at += word.size();
      names.insert(text.substr(at, text.find_first_of(" (", at) - at));
    }
  }
  return names;
}

class SchemaForeignKeys : public ::testing::Test {
 protected:
  std::unique_ptr<db::Connection> db = db::embedded::open({":memory:", "dbo"});
  schema_test::RecordingConnection local{*db};
  std::vector<Line> logged;
  schema::LogLine log = [this](std::string_view m, std::string_view l) {
    logged.emplace_back(m, l);
  };

  void SetUp() override {
    const std::set<std::string> wanted = tablesNamed();
    for (const auto& table : central::centralModel().tables())
      if (wanted.count(table.name))
        for (const auto& ddl : central::tableDdl(table)) db->execute(ddl);
  }

  bool apply() { return schema::applyForeignKeys(local, "MSSQL", log); }
  std::vector<std::string> linesStartingWith(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const auto& [text, level] : logged)
      if (text.rfind(prefix, 0) == 0) found.push_back(text);
    return found;
  }
  int64_t count(const std::string& sql) {
    auto rows = db->query(sql);
    rows->next();
    return rows->at(0).asInt();
  }
};

TEST_F(SchemaForeignKeys, FirstRunAppliesEveryKeyAndLaterRunsLogTheSteadyState) {
  ASSERT_EQ(schema::foreignKeyStatements().size(), 44u);
  // The unique index that the step drops is not there: its error line does not spoil the result.
  EXPECT_TRUE(apply());
  EXPECT_EQ(local.executed.size(), 44u);
  EXPECT_EQ(linesStartingWith("Aplicada a Constraint: ").size(), 33u);
  EXPECT_EQ(linesStartingWith("Aplica index FK ").size(), 7u);
  const auto dropError = linesStartingWith("Erro index Nrcomandaext: ");
  ASSERT_EQ(dropError.size(), 1u);
  EXPECT_GT(dropError.front().size(), std::string("Erro index Nrcomandaext: ").size());
  EXPECT_EQ(linesStartingWith("Erro ").size(), 1u);
  EXPECT_EQ(count("SELECT COUNT(*) FROM sys.objects WHERE type = 'F'"), 34);

  // Banners: an empty line, the title, a rule of 126 asterisks, all at level 3, before the
  // statements of their table; the first with 18 and 19 asterisks, COMANDAVEN with 17 each.
  ASSERT_GE(logged.size(), 4u);
  EXPECT_EQ(logged[0], Line("", "3"));
  EXPECT_EQ(logged[1], Line("****************** INÍCIO DA APLICAÇÃO DAS CONSTRAINTS NA TABELA "
                            "ITEMVENDA *******************",
                            "3"));
  EXPECT_EQ(logged[2], Line(std::string(126, '*'), "3"));
  EXPECT_EQ(logged[3], Line("Aplicada a Constraint: Itemvenda references Venda", "1"));
  const Line comandaven(
      "***************** INÍCIO DA APLICAÇÃO DAS CONSTRAINTS NA TABELA "
      "COMANDAVEN *****************",
      "3");
  EXPECT_NE(std::find(logged.begin(), logged.end(), comandaven), logged.end());
  const Line last(
      "**************** INÍCIO DA APLICAÇÃO DAS CONSTRAINTS NA TABELA PROMOCOMANDA "
      "****************",
      "3");
  const auto at = std::find(logged.begin(), logged.end(), last);
  ASSERT_NE(at, logged.end());
  ASSERT_EQ(logged.end() - at, 3);
  EXPECT_EQ(*(at - 1), Line("", "3"));
  EXPECT_EQ(*(at + 1), Line(std::string(126, '*'), "3"));
  EXPECT_EQ(*(at + 2), Line("Aplicada a Constraint: PromoComanda references ComandaVen", "1"));
  EXPECT_EQ(linesStartingWith("**").size(), 15u * 2);

  // The next run tries every statement again; every key is there already and says so.
  logged.clear();
  local.executed.clear();
  EXPECT_FALSE(apply());
  EXPECT_EQ(local.executed.size(), 44u);
  EXPECT_TRUE(linesStartingWith("Aplicada a Constraint: ").empty());
  EXPECT_TRUE(linesStartingWith("Aplica index FK ").empty());
  const auto errors = linesStartingWith("Erro ");
  EXPECT_EQ(errors.size(), 34u);
  for (const auto& line : errors) {
    if (line.rfind("Erro index ", 0) != 0) {
      EXPECT_NE(line.find("already"), std::string::npos) << line;
    }
  }
  EXPECT_EQ(linesStartingWith("Erro Itemvenda/Venda: ").size(), 1u);
  for (const auto& [text, level] : logged) {
    if (text.rfind("Erro ", 0) == 0) {
      EXPECT_EQ(level, "1");
    }
  }
}

TEST_F(SchemaForeignKeys, ItcomandaestKeyAndObservationIndexesNeverLog) {
  // Their tables are missing, so each of the three statements fails; none says anything.
  db->execute("DROP TABLE OBSITCOMANDAVEN");
  db->execute("DROP TABLE OBSITCOMANDAEST");
  db->execute("DROP TABLE ITCOMANDAEST");
  apply();
  EXPECT_TRUE(linesStartingWith("Aplicada a Constraint: ObsItComanda").empty());
  EXPECT_EQ(linesStartingWith("Erro ObsItComandaVen/ItComandaven: ").size(), 1u);
  EXPECT_EQ(linesStartingWith("Erro ObsItComandaEst/ItComandaEst: ").size(), 1u);
  EXPECT_TRUE(linesStartingWith("Aplica index FK Itcomandaest").empty());
  for (const auto& [text, level] : logged) EXPECT_EQ(text.find("tcomandaest/"), std::string::npos);
  // The index on the fourth key column of OBSITCOMANDA* exists once its table does: the index
  // statements ran, quietly.
  EXPECT_EQ(local.startingWith("create index PDV00001ITCOMANDAVEN_FK").size(), 1u);
  EXPECT_EQ(local.startingWith("create index PDV00001ITCOMANDAEST_FK").size(), 1u);
}

TEST_F(SchemaForeignKeys, OrphanRowsFailTheirKeyOnlyAndTheRestIsApplied) {
  db->execute(
      "INSERT INTO ITEMVENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, NRSEQUITVEND) VALUES ('0001', '001', "
      "'9', '1')");
  EXPECT_FALSE(apply());
  const auto error = linesStartingWith("Erro Itemvenda/Venda: ");
  ASSERT_EQ(error.size(), 1u);
  EXPECT_NE(error.front().find("FKVND00012VENDA"), std::string::npos) << error.front();
  EXPECT_EQ(linesStartingWith("Aplicada a Constraint: ").size(), 32u);
  EXPECT_EQ(count("SELECT COUNT(*) FROM sys.objects WHERE name = 'FKVND00012VENDA'"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITEMVENDA"), 1);
}

TEST_F(SchemaForeignKeys, DeletesCascadeToTheDependentOrderRows) {
  ASSERT_TRUE(apply());
  const std::string order = "'0001', '1', '1'";
  const std::string item = "'0001', '1', '1', '1'";
  for (const std::string& sql : std::vector<std::string>{
           "INSERT INTO FILIAL (CDFILIAL) VALUES ('0001')",
           "INSERT INTO VENDAREST (CDFILIAL, CDLOJA, NRVENDAREST) VALUES ('0001', '0001', '1')",
           "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA) VALUES (" + order + ")",
           "INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) VALUES (" +
               item + ")",
           "INSERT INTO OBSITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) VALUES (" +
               item + ")",
           "INSERT INTO MOVPONTOCONSAUX (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) VALUES (" +
               item + ")",
           "INSERT INTO ITCMDVENORIG (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) VALUES (" +
               item + ")",
           "INSERT INTO ITCMDESTORIG (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) VALUES (" +
               item + ")",
           "INSERT INTO PEDIDOALT (CDFILIALOLD, NRVENDAREST, NRCOMANDA) VALUES (" + order + ")",
           "INSERT INTO PROMOCOMANDA (CDFILIAL, NRVENDAREST, NRCOMANDA) VALUES (" + order + ")",
           std::string("INSERT INTO PEDIDOKIV (CDFILIAL, NRPEDIDOKIV) VALUES ('0001', '7')"),
           std::string("INSERT INTO ITPEDIDOKIV (CDFILIAL, NRPEDIDOKIV) VALUES ('0001', '7')"),
           std::string("INSERT INTO ITPEDIDOKIVPAI (CDFILIAL, NRPEDIDOKIV) VALUES ('0001', '7')"),
           std::string("INSERT INTO ITPEDIDOKIVREL (CDFILIAL, NRPEDIDOKIV) VALUES ('0001', '7')"),
       })
    db->execute(sql);

  // An order row referenced by its items cannot go while the items are there.
  EXPECT_THROW(db->execute("DELETE FROM COMANDAVEN"), db::Error);
  db->execute("DELETE FROM ITCOMANDAVEN");
  EXPECT_EQ(count("SELECT COUNT(*) FROM OBSITCOMANDAVEN"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM MOVPONTOCONSAUX"), 0);
  db->execute("DELETE FROM COMANDAVEN");
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITCMDVENORIG"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITCMDESTORIG"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM PEDIDOALT"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM PROMOCOMANDA"), 0);
  db->execute("DELETE FROM PEDIDOKIV");
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITPEDIDOKIV") +
                count("SELECT COUNT(*) FROM ITPEDIDOKIVPAI") +
                count("SELECT COUNT(*) FROM ITPEDIDOKIVREL"),
            0);
}

TEST_F(SchemaForeignKeys, NothingHappensOnAnOracleDatabase) {
  EXPECT_TRUE(schema::applyForeignKeys(local, "ORACLE", log));
  EXPECT_TRUE(local.executed.empty());
  EXPECT_TRUE(logged.empty());
}

}  // namespace
