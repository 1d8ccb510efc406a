#include <gtest/gtest.h>

#include "site_hooks_fixture.h"

namespace site_hooks {
namespace {

// The TRIELO turnstile's question: may the card with this code pass?
class TurnstileAccessTest : public SiteHooksTest {
 protected:
  void SetUp() override {
    SiteHooksTest::SetUp();
    setTurnstile("T");
    // Code 12345678 reads as card 78563412: the byte pairs reversed.
    local()->execute(
        "INSERT INTO COMANDAKIV (CDFILIAL, CDLOJA, DSCOMANDAKIV, CDCARTAOMIFARE) "
        "VALUES ('0001', '01', 'TAB55', '78563412FFFF')");
    runHooks();
  }

  int64_t answer(const std::string& code) {
    auto connection = local();
    const db::ProcedureResult result =
        connection->callProcedure("ACESSO", {{"CONTROLADORA", int64_t{1}}, {"CODIGO", code}});
    EXPECT_EQ(result.resultSets.size(), 1u) << code;
    return result.resultSets.at(0).rows.at(0).at(0).asInt();
  }

  void openTab(const std::string& number, const std::string& text, const std::string& state) {
    local()->execute(
        "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA) "
        "VALUES ('0001', '1', :P_NRCOMANDA, :P_DSCOMANDA, :P_IDSTCOMANDA)",
        {{"P_NRCOMANDA", number}, {"P_DSCOMANDA", text}, {"P_IDSTCOMANDA", state}});
  }

  void addItem(const std::string& number) {
    local()->execute(
        "INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) "
        "VALUES ('0001', '1', :P_NRCOMANDA, '1')",
        {{"P_NRCOMANDA", number}});
  }

  std::string state(const std::string& number) {
    auto connection = local();
    auto rows = connection->query("SELECT IDSTCOMANDA FROM COMANDAVEN WHERE NRCOMANDA = :P_N",
                                  {{"P_N", number}});
    rows->next();
    return rows->at(0).asText();
  }
};

TEST_F(TurnstileAccessTest, IsInstalledWithItsBannerOnlyForATrieloTurnstile) {
  const std::string text = logText();
  const size_t banner = text.find(
      "**************************** UTILIZA CATRACA TRIELO "
      "**************************\r\n");
  ASSERT_NE(banner, std::string::npos) << text;
  EXPECT_LT(banner, text.find("INÍCIO DA APLICAÇÃO DA PROCEDURE ACESSO ********************\r\n"));
  EXPECT_LT(banner, text.find(" - " + std::string(78, '*') + "\r\n"));
  EXPECT_LT(banner, text.find(" - Aplicada procedure ACESSO\r\n"));
  EXPECT_TRUE(objectExists("ACESSO", "P"));
  EXPECT_FALSE(objectExists("UTILIZA_TRILOBIT", "TR"));
}

TEST_F(TurnstileAccessTest, ACodeStartingItsCardWithZeroIsRefusedWithoutReadingATable) {
  local()->execute("DROP TABLE COMANDAKIV");
  local()->execute("DROP TABLE COMANDAVEN");
  EXPECT_EQ(answer("99990FFFFFFF"), 100);
  EXPECT_EQ(answer("0"), 100);
}

TEST_F(TurnstileAccessTest, ACardWithoutAnOpenTabPasses) {
  EXPECT_EQ(answer("12345678"), 1);
  openTab("7", "OTHER", "A");
  EXPECT_EQ(answer("12345678"), 1);
  EXPECT_EQ(answer("11111111"), 1);  // no such card
}

TEST_F(TurnstileAccessTest, AnEmptyTabIsClosedAndItsHolderPasses) {
  openTab("7", "TAB55", "A");
  EXPECT_EQ(answer("AAAA12345678"), 1);  // only the last eight characters count
  EXPECT_EQ(state("7"), "X");
}

TEST_F(TurnstileAccessTest, ATabWithItemsIsNeverClosed) {
  openTab("7", "TAB55", "A");
  addItem("7");
  EXPECT_EQ(answer("12345678"), 100);
  EXPECT_EQ(state("7"), "A");
  // Another tab of the same text, already closed, lets him pass; the open one stays open.
  openTab("8", "TAB55", "X");
  EXPECT_EQ(answer("12345678"), 1);
  EXPECT_EQ(state("7"), "A");
}

TEST_F(TurnstileAccessTest, ABranchNoLongerUsingTheTurnstileLetsEveryCardPass) {
  openTab("7", "TAB55", "A");
  addItem("7");
  setTurnstile("N");
  EXPECT_EQ(answer("12345678"), 1);
}

}  // namespace
}  // namespace site_hooks
