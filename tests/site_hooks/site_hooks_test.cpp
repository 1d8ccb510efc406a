#include "site_hooks/site_hooks.h"

#include <gtest/gtest.h>

#include "site_hooks_fixture.h"

namespace site_hooks {
namespace {

const std::string kTrilobitBanner =
    "08/12/2026 10:00:00 - \r\n"
    "08/12/2026 10:00:00 - **************************** UTILIZA CATRACA TRILOBIT "
    "*****************************\r\n"
    "08/12/2026 10:00:00 - ****************** INÍCIO DA APLICAÇÃO DA TRIGGER NA COMANDAVEN "
    "*******************\r\n"
    "08/12/2026 10:00:00 - " +
    std::string(83, '*') +
    "\r\n"
    "08/12/2026 10:00:00 - Aplicada Constraint UTILIZA_TRILOBIT\r\n";

TEST_F(SiteHooksTest, TrilobitTriggerBlocksACardHolderWhileHisTabIsOpenUntilSwitchedOff) {
  makeTurnstileDatabase();
  setTurnstile("S");
  runHooks();
  EXPECT_NE(logText().find(kTrilobitBanner), std::string::npos) << logText();
  ASSERT_TRUE(objectExists("UTILIZA_TRILOBIT", "TR"));

  auto connection = local();
  auto enabled = [&](const std::string& pin) {
    auto rows = connection->query("SELECT PESHABILITADO FROM WSP.dbo.PESSOAS WHERE PIN = :P_PIN",
                                  {{"P_PIN", pin}});
    rows->next();
    return rows->at(0).asInt();
  };
  connection->execute(
      "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA) "
      "VALUES ('0001', '1', '1', '1234')");
  EXPECT_EQ(enabled("1234"), 0);
  EXPECT_EQ(enabled("5678"), 1);
  connection->execute("DELETE FROM COMANDAVEN WHERE NRCOMANDA = '1'");
  EXPECT_EQ(enabled("1234"), 1);
  connection.reset();

  // Run again: the trigger is made afresh, once.
  runHooks();
  EXPECT_EQ(number("SELECT COUNT(*) FROM sys.triggers WHERE Name = 'UTILIZA_TRILOBIT'"), 1);

  setTurnstile("N");
  runHooks();
  EXPECT_FALSE(objectExists("UTILIZA_TRILOBIT", "TR"));
  connection = local();
  connection->execute(
      "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA) "
      "VALUES ('0001', '1', '2', '5678')");
  EXPECT_EQ(enabled("5678"), 1);
  EXPECT_TRUE(flag.ok());
}

// A failing statement is logged alone by its own hook; the other hooks and the run go on.
TEST_F(SiteHooksTest, EachHookKeepsItsFailureToItself) {
  struct Case {
    std::string failing;
    std::string turnstile;
    std::string missingLine;  // the confirmation the failure prevents
    std::string otherLine;    // a later hook's confirmation, still there
  };
  const std::vector<Case> cases = {
      // A failing drop also skips the creation, banner included.
      {"DROP TRIGGER UTILIZA_TRILOBIT", "S", "UTILIZA CATRACA TRILOBIT",
       "Aplicada View RETORNA_CONS_ATIVO"},
      {"CREATE TRIGGER UTILIZA_TRILOBIT", "S", "Aplicada Constraint UTILIZA_TRILOBIT",
       "Aplicada View RETORNA_CONS_ATIVO"},
      {"CREATE PROCEDURE ACESSO", "T", "Aplicada procedure ACESSO",
       "Aplicada View RETORNA_CONS_ATIVO"},
      {"CREATE VIEW RETORNA_CONS_ATIVO", "T", "Aplicada View RETORNA_CONS_ATIVO",
       "Aplicada procedure ACESSO"},
  };
  makeTurnstileDatabase();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing);
    std::filesystem::remove(log.fileFor(clock()));
    local()->execute("IF OBJECT_ID('UTILIZA_TRILOBIT') IS NOT NULL DROP TRIGGER UTILIZA_TRILOBIT");
    setTurnstile(c.turnstile);
    failOn = c.failing;
    runHooks();
    const std::string text = logText();
    EXPECT_NE(text.find(" - refused by the test\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find(c.missingLine), std::string::npos) << text;
    EXPECT_NE(text.find(c.otherLine), std::string::npos) << text;
    EXPECT_FALSE(objectExists("UTILIZA_TRILOBIT", "TR"));
    EXPECT_TRUE(flag.ok());
  }
}

TEST_F(SiteHooksTest, MissingTurnstileDatabaseLeavesTheTriggerOutAndTheOtherHooksRun) {
  setTurnstile("S");
  local()->execute("DROP TABLE ITEMPRECODIA");
  runHooks();
  const std::string text = logText();
  EXPECT_NE(text.find(" - Tabela PESSOAS do banco WSP da catraca inacessível: Database 'WSP' "
                      "does not exist"),
            std::string::npos)
      << text;
  EXPECT_FALSE(objectExists("UTILIZA_TRILOBIT", "TR"));
  EXPECT_FALSE(std::filesystem::exists(server / "WSP.db"));
  // The rounding failed on its own, and the view was still made.
  EXPECT_NE(text.find("ITEMPRECODIA"), std::string::npos);
  EXPECT_NE(text.find("Aplicada View RETORNA_CONS_ATIVO"), std::string::npos);
  EXPECT_TRUE(flag.ok());
  // Tabs still open at the register.
  local()->execute(
      "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA) "
      "VALUES ('0001', '1', '1', '1234')");
}

TEST_F(SiteHooksTest, DailyPricesAreRoundedToTwoPlaces) {
  auto connection = local();
  const char* insert =
      "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
      "NRDIASEMANPR, HRINIPRECDIA, CDTIPOCONSPD, VRPRECODIA) VALUES ('0001', '001', "
      "'2026-12-01', :P_CDPRODUTO, '', 1, '08:00', '001', :P_VRPRECODIA)";
  connection->execute(insert, {{"P_CDPRODUTO", "A"}, {"P_VRPRECODIA", 10.126}});
  connection->execute(insert, {{"P_CDPRODUTO", "B"}, {"P_VRPRECODIA", 3.5}});
  connection->execute(insert, {{"P_CDPRODUTO", "C"}, {"P_VRPRECODIA", 2.004}});
  connection.reset();
  runHooks();
  connection = local();
  auto rows = connection->query("SELECT VRPRECODIA FROM ITEMPRECODIA ORDER BY CDPRODUTO");
  std::vector<double> prices;
  while (rows->next()) prices.push_back(rows->at(0).asDouble());
  EXPECT_EQ(prices, (std::vector<double>{10.13, 3.5, 2.0}));
}

TEST_F(SiteHooksTest, OnAnOracleDatabaseOnlyThePriceRoundingRuns) {
  writeRegistry("UsedDatabase=ORACLE\n");
  setTurnstile("S");
  runHooks();
  setTurnstile("T");
  runHooks();
  for (const std::string& statement : sent) {
    EXPECT_EQ(statement,
              "UPDATE ITEMPRECODIA SET VRPRECODIA = ROUND(VRPRECODIA, 2) WHERE "
              "ROUND(VRPRECODIA, 2) <> VRPRECODIA");
  }
  EXPECT_EQ(sent.size(), 2u);
  EXPECT_EQ(logText().find("Aplicada"), std::string::npos);
}

}  // namespace
}  // namespace site_hooks
