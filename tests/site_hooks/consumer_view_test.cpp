#include <gtest/gtest.h>

#include <map>

#include "site_hooks_fixture.h"

namespace site_hooks {
namespace {

// Consumers of client C1 (whose branch 0001 has the turnstile integration) and of client C2
// (whose branch 0002 has not), with the statement lines their balances come from.
class ConsumerViewTest : public SiteHooksTest {
 protected:
  void SetUp() override {
    SiteHooksTest::SetUp();
    auto connection = local();
    connection->execute("UPDATE PARAVEND SET IDUTINTCATBIO = 'S'");
    connection->execute(
        "INSERT INTO PARAVEND (CDFILIAL, CDPARAVEND, IDUTINTCATBIO) VALUES ('0002', '1', 'N')");
    connection->execute("INSERT INTO CLIENFILIAL (CDFILIAL, CDCLIENTE) VALUES ('0001', 'C1')");
    connection->execute("INSERT INTO CLIENFILIAL (CDFILIAL, CDCLIENTE) VALUES ('0002', 'C2')");
    connection->execute("INSERT INTO SALDMINCLICCUS VALUES ('C1', 'CC1', 35, NULL)");
    connection->execute("INSERT INTO SALDMINCLICCUS VALUES ('C2', 'CC1', 0, NULL)");
    consumer(*connection, "C1", "A", "CC1");
    consumer(*connection, "C1", "B", "CC1");
    consumer(*connection, "C1", "E", "CC1");
    consumer(*connection, "C1", "F", "CC9");
    consumer(*connection, "C1", "G", "CC1");
    consumer(*connection, "C2", "D", "CC1");
    // A: family F1's latest day counts (30, not 100); F2's latest sequence of that day (7, not
    // 5); F3's balance is unknown and counts as 0. 37 in all.
    line(*connection, "C1", "A", "F1", "2026-12-01", "1", 100.0);
    line(*connection, "C1", "A", "F1", "2026-12-02", "1", 30.0);
    line(*connection, "C1", "A", "F2", "2026-12-02", "1", 5.0);
    line(*connection, "C1", "A", "F2", "2026-12-02", "2", 7.0);
    line(*connection, "C1", "A", "F3", "2026-12-03", "1", db::Value());
    line(*connection, "C1", "B", "F1", "2026-12-02", "1", 10.0);
    line(*connection, "C1", "F", "F1", "2026-12-02", "1", 100.0);
    line(*connection, "C1", "G", "F1", "2026-12-02", "1", 35.0);
    line(*connection, "C2", "D", "F1", "2026-12-02", "1", 50.0);
  }

  static void consumer(db::Connection& db, const std::string& client, const std::string& code,
                       const std::string& costCentre) {
    db.execute(
        "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, CDCCUSCLIE, CDIDCONSUMID, "
        "IDSEXOCONS, DSEMAILCONS, NRTELECONS, NRCELULARCONS, DTNASCCONS) VALUES (:P_C, :P_K, "
        ":P_NM, :P_CC, :P_ID, 'F', :P_MAIL, '3333', '9999', '2015-03-04')",
        {{"P_C", client},
         {"P_K", code},
         {"P_NM", "Aluno " + code},
         {"P_CC", costCentre},
         {"P_ID", "M-" + code},
         {"P_MAIL", code + "@escola"}});
  }

  static void line(db::Connection& db, const std::string& client, const std::string& code,
                   const std::string& family, const std::string& day, const std::string& sequence,
                   const db::Value& balance) {
    db.execute(
        "INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, "
        "NRSEQMOVEXT, VRSALDCONEXT) VALUES (:P_C, :P_K, :P_F, :P_D, :P_S, :P_V)",
        {{"P_C", client},
         {"P_K", code},
         {"P_F", family},
         {"P_D", db::DateTime::parse(day).value()},
         {"P_S", sequence},
         {"P_V", balance}});
  }

  // MATRICULA -> ATIVO and POSSUI_SALDO.
  std::map<std::string, std::string> statuses() {
    std::map<std::string, std::string> result;
    auto connection = local();
    auto rows = connection->query("SELECT MATRICULA, ATIVO, POSSUI_SALDO FROM RETORNA_CONS_ATIVO");
    while (rows->next())
      result[rows->at(0).asText()] = rows->at(1).asText() + "/" + rows->at(2).asText();
    return result;
  }
};

TEST_F(ConsumerViewTest, BalanceStatusMatchesTheBalancesWorkedOutByHand) {
  runHooks();
  const std::map<std::string, std::string> expected = {
      {"M-A", "Ativo/SIM"},         // 37 >= 35
      {"M-B", "Inativo/NAO"},       // 10 < 35
      {"M-F", "Inativo/NAO"},       // no minimum for cost centre CC9
      {"M-G", "Ativo/SIM"}};        // exactly the minimum
  EXPECT_EQ(statuses(), expected);  // E has no balance, D's client has no integration

  auto connection = local();
  auto rows = connection->query("SELECT * FROM RETORNA_CONS_ATIVO WHERE MATRICULA = 'M-A'");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ((*rows)["ALUNO"].asText(), "Aluno A");
  EXPECT_EQ((*rows)["APELIDO"].asText(), "Aluno A");
  EXPECT_EQ((*rows)["DTNASCALUNO"].asDateTime(), db::DateTime::fromParts(2015, 3, 4));
  EXPECT_EQ((*rows)["SEXO"].asText(), "F");
  EXPECT_EQ((*rows)["CODTURMA"].asText(), "CC1");
  EXPECT_EQ((*rows)["EMAILALUNO"].asText(), "A@escola");
  EXPECT_EQ((*rows)["TELEFONEALUNO"].asText(), "3333");
  EXPECT_EQ((*rows)["NUMSMSAVISO"].asText(), "9999");
  EXPECT_EQ((*rows)["CODCURSO"].asText(), "");

  const std::string text = logText();
  const std::string banner =
      "08/12/2026 10:00:00 - \r\n08/12/2026 10:00:00 - " + std::string(82, '*') +
      "\r\n08/12/2026 10:00:00 - ****************** INÍCIO DA APLICAÇÃO DA "
      "VIEW RETORNA_CONS_ATIVO *******************\r\n08/12/2026 "
      "10:00:00 - " +
      std::string(83, '*') + "\r\n08/12/2026 10:00:00 - Aplicada View RETORNA_CONS_ATIVO\r\n";
  EXPECT_NE(text.find(banner), std::string::npos) << text;
}

TEST_F(ConsumerViewTest, IsRemadeEachRunAndFollowsTheIntegrationSwitch) {
  runHooks();
  local()->execute("UPDATE PARAVEND SET IDUTINTCATBIO = 'N'");
  EXPECT_TRUE(statuses().empty());
  local()->execute("UPDATE PARAVEND SET IDUTINTCATBIO = 'S' WHERE CDFILIAL = '0002'");
  runHooks();
  EXPECT_EQ(statuses(), (std::map<std::string, std::string>{{"M-D", "Ativo/SIM"}}));
  EXPECT_TRUE(flag.ok());
}

// The view is made only from version 9 on; the embedded engine reports 10.50, so the register
// is told it runs on an older server.
TEST_F(ConsumerViewTest, IsLeftAloneOnAServerOlderThanVersionNine) {
  serverVersion = "8.00.2039";
  runHooks();
  EXPECT_FALSE(objectExists("RETORNA_CONS_ATIVO", "V"));
  for (const std::string& statement : sent)
    EXPECT_EQ(statement.find("RETORNA_CONS_ATIVO"), std::string::npos) << statement;
  EXPECT_EQ(logText().find("RETORNA_CONS_ATIVO"), std::string::npos) << logText();
  EXPECT_TRUE(flag.ok());

  serverVersion = "9.00.1399.06";
  runHooks();
  EXPECT_EQ(statuses().size(), 4u);
  EXPECT_NE(logText().find("Aplicada View RETORNA_CONS_ATIVO"), std::string::npos);
}

}  // namespace
}  // namespace site_hooks
