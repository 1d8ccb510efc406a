#include "outside/package/next_code.h"

#include <gtest/gtest.h>

#include "db/connect.h"

namespace outside {
namespace {

TEST(NextCode, OneAboveTheLargestNumberOfTheSameOwner) {
  auto db = db::connect("Provider=SQLite;Data Source=:memory:");
  db->execute("CREATE TABLE MOVICLIE (CDCLIENTE VARCHAR(10), NRSEQMOVCLI VARCHAR(10))");
  db->execute("INSERT INTO MOVICLIE VALUES ('C1', '9'), ('C1', '10'), ('C2', '500')");
  db->execute(
      "CREATE TABLE MOVCAIXA (CDFILIAL VARCHAR(4), CDCAIXA VARCHAR(3), DTABERCAIX DATETIME, "
      "NRSEQUMOVI INT)");
  db->execute("INSERT INTO MOVCAIXA VALUES ('0001', '001', '2026-12-07 08:00:00', 4)");
  db->execute(
      "CREATE TABLE VENDA (CDFILIAL VARCHAR(4), CDCAIXA VARCHAR(3), NRSEQVENDA VARCHAR(8))");
  db->execute("INSERT INTO VENDA VALUES ('0001', '001', '00000041')");

  KivProxCodigo next(*db);
  EXPECT_EQ(next.PrxMovClie("C1", 1, "SRV"), 11);
  EXPECT_EQ(next.PrxMovClie("C3", 1, "SRV"), 1);
  const auto opened = db::DateTime::fromParts(2026, 12, 7, 8);
  EXPECT_EQ(next.PrxMovCaixa("0001", "001", opened), 5);
  EXPECT_EQ(next.PrxMovCaixa("0001", "001", opened.addDays(1)), 1);
  EXPECT_EQ(next.PrxPedidoVenda("0001", "001", "SRV"), 42);
  EXPECT_EQ(next.PrxPedidoVenda("0001", "002", "SRV"), 1);

  // Numbers taken inside an open transaction are seen by the next call.
  db->begin();
  db->execute("INSERT INTO VENDA VALUES ('0001', '001', '42')");
  EXPECT_EQ(next.PrxPedidoVenda("0001", "001", "SRV"), 43);
  db->rollback();
}

}  // namespace
}  // namespace outside
