// The three procedures, installed and run on the embedded engine.
#include <gtest/gtest.h>

#include "server_code_fixture.h"

namespace {

class LocalProcedures : public schema_test::ServerCodeFixture {
 protected:
  std::string reserve(const std::string& counter, std::optional<int> quantity) {
    std::vector<db::ProcedureArgument> args = {{"P_CONTADOR", counter},
                                               {"P_SEQUENCIAL", db::Value(), true}};
    if (quantity) args.push_back({"P_QTDE", int64_t{*quantity}});
    const db::ProcedureResult result = local->callProcedure("NOVO_CODIGO", args);
    EXPECT_EQ(result.outputs.size(), 1u);
    return result.outputs.empty() ? "" : result.outputs[0].value.asText();
  }
  std::string stored(const std::string& counter) {
    return text("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = '" + counter + "'");
  }

  void movement(const std::string& seq, const std::string& consumer, int day,
                const std::string& type, double value, double personal, double balance,
                double personalBalance) {
    local->execute(
        "INSERT INTO MOVICLIE (CDCLIENTE, NRSEQMOVCLI, CDCONSUMIDOR, DTMOVCLI, IDTIPMOCVLI, "
        "VRMOVCLI, VRMOVPESCONS, VRSALDOCONS, VRSALDPECONS) VALUES ('000000001', :S, :C, :D, :T, "
        ":V, :P, :B, :Q)",
        {{"S", seq},
         {"C", consumer},
         {"D", db::DateTime::fromParts(2026, 11, day)},
         {"T", type},
         {"V", value},
         {"P", personal},
         {"B", balance},
         {"Q", personalBalance}});
  }
  std::pair<double, double> balances(const std::string& seq) {
    auto rows = local->query(
        "SELECT VRSALDOCONS, VRSALDPECONS FROM MOVICLIE WHERE NRSEQMOVCLI = :S", {{"S", seq}});
    rows->next();
    return {rows->at(0).asDouble(), rows->at(1).asDouble()};
  }
  void recompute(int day) {
    local->callProcedure("ATUALIZA_SALDO_CONS", {{"P_CDFILIAL", "0001"},
                                                 {"P_CDCLIENTE", "000000001"},
                                                 {"P_CDCONSUMIDOR", "0001"},
                                                 {"P_DATA", db::DateTime::fromParts(2026, 11, day)},
                                                 {"P_OPERADOR", "OPER7"}});
  }

  void statement(int day, const std::string& seq, const std::string& family,
                 const std::string& type, double value, double balance) {
    local->execute(
        "INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, "
        "NRSEQMOVEXT, IDTPMOVEXT, VRMOVEXTCONS, VRSALDCONEXT) VALUES ('000000001', '0001', :F, "
        ":D, :S, :T, :V, :B)",
        {{"F", family},
         {"D", db::DateTime::fromParts(2026, 11, day)},
         {"S", seq},
         {"T", type},
         {"V", value},
         {"B", balance}});
  }
  double statementBalance(int day, const std::string& seq) {
    return scalar(
               "SELECT VRSALDCONEXT FROM EXTRATOCONS WHERE DTMOVEXTCONS = :D AND NRSEQMOVEXT = "
               ":S AND CDFAMILISALD = '01'",
               {{"D", db::DateTime::fromParts(2026, 11, day)}, {"S", seq}})
        .asDouble();
  }
  void evolve(int day) {
    local->callProcedure("ATUALIZA_SALDO_CONS_FKB",
                         {{"P_CDCLIENTE", "000000001"},
                          {"P_CDCONSUMIDOR", "0001"},
                          {"P_CDFAMILISALD", "01"},
                          {"P_DTINIEVOLUCAO", db::DateTime::fromParts(2026, 11, day)}});
  }
};

TEST_F(LocalProcedures, NovoCodigoReservesCodesAndAnswersTheFirst) {
  EXPECT_EQ(reserve("VENDA", 5), "00000000000000000001");
  EXPECT_EQ(stored("VENDA"), "00000000000000000005");
  EXPECT_EQ(reserve("VENDA", 1), "00000000000000000006");
  EXPECT_EQ(stored("VENDA"), "00000000000000000006");
  // The quantity defaults to one; counters are independent.
  EXPECT_EQ(reserve("VENDA", std::nullopt), "00000000000000000007");
  EXPECT_EQ(reserve("CUPOM", std::nullopt), "00000000000000000001");
  EXPECT_EQ(stored("VENDA"), "00000000000000000007");
}

TEST_F(LocalProcedures, AtualizaSaldoConsRecomputesRunningBalancesFromTheDate) {
  movement("1", "0001", 1, "C", 100, 10, 100, 10);
  movement("2", "0001", 2, "D", 30, 3, 999, 999);
  movement("3", "0001", 3, "X", 50, 5, 999, 999);
  movement("4", "0001", 4, "C", 20, 2, 999, 999);
  movement("5", "0001", 5, "A", 7, 1, 999, 999);
  movement("9", "0002", 2, "C", 1, 1, 555, 555);

  // From before the first movement: the consumer's very first movement keeps its balances.
  recompute(1);
  EXPECT_EQ(balances("1"), std::make_pair(100.0, 10.0));
  EXPECT_EQ(balances("2"), std::make_pair(70.0, 7.0));
  EXPECT_EQ(balances("3"), std::make_pair(70.0, 7.0));  // 'X' counts zero
  EXPECT_EQ(balances("4"), std::make_pair(90.0, 9.0));
  EXPECT_EQ(balances("5"), std::make_pair(0.0, 10.0));  // 'A' zeroes the balance only
  EXPECT_EQ(balances("9"), std::make_pair(555.0, 555.0));
  EXPECT_EQ(text("SELECT CDOPERECSALD FROM MOVICLIE WHERE NRSEQMOVCLI = '4'"), "OPER7");
  EXPECT_TRUE(scalar("SELECT CDOPERECSALD FROM MOVICLIE WHERE NRSEQMOVCLI = '1'").isNull());
  EXPECT_FALSE(scalar("SELECT DTRECMOVCLIE FROM MOVICLIE WHERE NRSEQMOVCLI = '5'").isNull());

  // A middle movement changes: the recomputation starts at it, from its predecessor's balance,
  // which is not recomputed.
  local->execute("UPDATE MOVICLIE SET IDTIPMOCVLI = 'C' WHERE NRSEQMOVCLI = '3'");
  local->execute("UPDATE MOVICLIE SET VRSALDOCONS = 71 WHERE NRSEQMOVCLI = '2'");
  recompute(3);
  EXPECT_EQ(balances("2"), std::make_pair(71.0, 7.0));
  EXPECT_EQ(balances("3"), std::make_pair(121.0, 12.0));
  EXPECT_EQ(balances("4"), std::make_pair(141.0, 14.0));
  EXPECT_EQ(balances("5"), std::make_pair(0.0, 15.0));

  // A date after every movement changes nothing.
  recompute(20);
  EXPECT_EQ(balances("4"), std::make_pair(141.0, 14.0));
}

TEST_F(LocalProcedures, AtualizaSaldoConsFkbCarriesTheStatementBalanceIntoTheFamilyBalance) {
  statement(1, "1", "01", "C", 100, 100);
  statement(2, "1", "01", "V", 30, 70);
  statement(2, "2", "01", "D", 10, 999);
  statement(3, "1", "01", "E", 5, 999);
  statement(4, "1", "01", "C", 50, 999);
  statement(2, "1", "02", "C", 40, 40);

  // The first row at the start keeps its balance; the later ones (same instant included)
  // subtract 'V', 'D' and 'E'; the missing family balance is inserted.
  evolve(2);
  EXPECT_EQ(statementBalance(1, "1"), 100.0);
  EXPECT_EQ(statementBalance(2, "1"), 70.0);
  EXPECT_EQ(statementBalance(2, "2"), 60.0);
  EXPECT_EQ(statementBalance(3, "1"), 55.0);
  EXPECT_EQ(statementBalance(4, "1"), 105.0);
  EXPECT_EQ(scalar("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDFAMILISALD = '01'").asDouble(),
            105.0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM SALDOCONS"), 1);
  EXPECT_EQ(scalar("SELECT VRSALDCONEXT FROM EXTRATOCONS WHERE CDFAMILISALD = '02'").asDouble(),
            40.0);

  // A single row from the start on: the family balance takes that row's balance.
  local->execute("UPDATE EXTRATOCONS SET VRSALDCONEXT = 200 WHERE DTMOVEXTCONS = :D",
                 {{"D", db::DateTime::fromParts(2026, 11, 4)}});
  evolve(4);
  EXPECT_EQ(scalar("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDFAMILISALD = '01'").asDouble(),
            200.0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM SALDOCONS"), 1);
}

}  // namespace
