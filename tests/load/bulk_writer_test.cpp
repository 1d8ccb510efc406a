#include "load/bulk_writer.h"

#include "download/component_error.h"
#include "load/counters.h"
#include "load_fixture.h"

namespace load::testing {
namespace {

class BulkWriterTest : public LoadTest {
 protected:
  outside::KivProxCodigo nextCode{conn};
  BulkWriter writer{ctx, nextCode};
  db::DateTime day(int d) { return db::DateTime::fromParts(2026, 11, d, 10, 0, 0); }
};

TEST_F(BulkWriterTest, EmptyFloatsAreNullOnlyWhereTheyMeanNoValueAndZeroDatesAreNull) {
  download("cdsREGRAFISPDV",
           {text("CDREGRAFISPDV"), number("VRALIQREGRA"), number("VRBASEREGRA"), date("DTULTATU")},
           {{"R1", db::Value(), 2.5, db::DateTime(0)}});
  writer.InsereDados("cdsREGRAFISPDV", "REGRAFISPDV");
  EXPECT_TRUE(conn.scalar("SELECT VRALIQREGRA FROM REGRAFISPDV").isNull());
  EXPECT_DOUBLE_EQ(conn.scalar("SELECT VRBASEREGRA FROM REGRAFISPDV").asDouble(), 2.5);
  EXPECT_TRUE(conn.scalar("SELECT DTULTATU FROM REGRAFISPDV").isNull());

  download("cdsSALDOCONS",
           {text("CDCLIENTE"), text("CDCONSUMIDOR"), text("CDFAMILISALD"), number("VRSALDCONFAM"),
            number("VRSALDOBASICO"), number("VRSALDOEXTRA"), date("DTULTATU")},
           {{"C1", "K1", "F1", db::Value(), db::Value(), 3.0, day(1)}});
  writer.InsereDados("cdsSALDOCONS", "SALDOCONS");
  EXPECT_EQ(conn.scalar("SELECT VRSALDCONFAM FROM SALDOCONS").asDouble(), 0.0);
  EXPECT_FALSE(conn.scalar("SELECT VRSALDCONFAM FROM SALDOCONS").isNull());
  EXPECT_TRUE(conn.scalar("SELECT VRSALDOBASICO FROM SALDOCONS").isNull());
}

TEST_F(BulkWriterTest, SingleBlankStockCodesStayBlankAndEmptyTextsBecomeNull) {
  download("cdsPOSESTATU",
           {text("CDFILIAL"), text("CDPRODUTO"), text("CDALMOXARIFE"), text("CDLOCALESTOQ"),
            text("NRLOTEESTQ"), text("NRSUBLOTE"), number("QTESTOQUE"), date("DTULTATU")},
           {{"0001", "P1", " ", " ", " ", " ", 4.0, day(2)}});
  writer.InsereDados("cdsPOSESTATU", "POSESTATU");
  EXPECT_EQ(textOf("SELECT NRLOTEESTQ FROM POSESTATU"), " ");
  EXPECT_EQ(textOf("SELECT CDALMOXARIFE FROM POSESTATU"), " ");

  download("cdsCampanha", columnsOf("CAMPANHA"), {{"K1", "", "Nome"}});
  writer.InsereDados("cdsCampanha", "CAMPANHA");
  EXPECT_TRUE(conn.scalar("SELECT IDCAMPANHA FROM CAMPANHA").isNull());
}

TEST_F(BulkWriterTest, RefusedRowsAreSkippedAndTheRestIsWritten) {
  localRow("CAMPANHA", {{"CDCAMPANHA", "K1"}, {"NMCAMPANHA", "Local"}});
  downloadTable("cdsProdCampanha", "CAMPANHA",
                {{{"CDCAMPANHA", "K1"}, {"NMCAMPANHA", "Baixada"}},
                 {{"CDCAMPANHA", "K2"}, {"NMCAMPANHA", "Nova"}}});
  writer.InsereDados("cdsProdCampanha", "CAMPANHA");
  EXPECT_EQ(conn.count("CAMPANHA"), 2);
  download("cdsTipoConsFili", {text("CDTIPOCONSFI"), text("DSTIPOCONSFI"), text("DTULTATU")},
           {{"T1", "x", "ontem"}, {"T2", "y", "2026-11-02"}});
  writer.InsereDados("cdsTipoConsFili", "TIPOCONSFILI");
  EXPECT_EQ(conn.count("TIPOCONSFILI"), 1);  // the date that is no date refuses its row
  EXPECT_EQ(textOf("SELECT NMCAMPANHA FROM CAMPANHA WHERE CDCAMPANHA = 'K1'"), "Local");
  EXPECT_EQ(conn.commits, 2);
  // The request date moves past refused rows: the log says where and how many.
  EXPECT_TRUE(logged("Linhas recusadas na tabela CAMPANHA: 1 de 2"));
  EXPECT_TRUE(logged("Linhas recusadas na tabela TIPOCONSFILI: 1 de 2"));
}

TEST_F(BulkWriterTest, MissingColumnOrLostDatabaseRollsBackAndNamesTheQuery) {
  download("cdsCampanha", {text("CDCAMPANHA")}, {{"K1"}});
  try {
    writer.InsereDados("cdsCampanha", "CAMPANHA");
    FAIL();
  } catch (const download::ComponentError& error) {
    EXPECT_EQ(error.component(), "adqExpPrincipal");
  }
  downloadTable("cdsCampanha", "CAMPANHA", {{{"CDCAMPANHA", "K1"}}, {{"CDCAMPANHA", "K2"}}});
  conn.lost = true;
  EXPECT_THROW(writer.InsereDados("cdsCampanha", "CAMPANHA"), download::ComponentError);
  conn.lost = false;
  EXPECT_EQ(conn.count("CAMPANHA"), 0);
  EXPECT_FALSE(conn.inTransaction());
}

TEST_F(BulkWriterTest, ReimportedSalesGetNewNumbersThatTheirItemsFollow) {
  localRow("VENDA", {{"CDFILIAL", "0001"}, {"CDCAIXA", "001"}, {"NRSEQVENDA", "41"}});
  downloadTable(
      "cdsVenda", "VENDA",
      {{{"CDFILIAL", "0001"}, {"CDCAIXA", "001"}, {"NRSEQVENDA", "7"}, {"IDIMPVENDA", "N"}}});
  downloadTable(
      "cdsItemVenda", "ITEMVENDA",
      {{{"CDFILIAL", "0001"}, {"CDCAIXA", "001"}, {"NRSEQVENDA", "7"}, {"NRSEQUITVEND", "1"}},
       {{"CDFILIAL", "0001"}, {"CDCAIXA", "001"}, {"NRSEQVENDA", "8"}, {"NRSEQUITVEND", "1"}}});
  writer.InsereDados("cdsVenda", "VENDA");
  writer.InsereDados("cdsItemVenda", "ITEMVENDA");
  EXPECT_EQ(textOf("SELECT IDIMPVENDA FROM VENDA WHERE NRSEQVENDA = '42'"), "S");
  // The item of sale 8 has no new number: its required column refuses it.
  EXPECT_EQ(conn.count("ITEMVENDA"), 1);
  EXPECT_EQ(textOf("SELECT NRSEQVENDA FROM ITEMVENDA"), "42");
}

TEST_F(BulkWriterTest, CountersOnlyMoveForwardComparedAsNumbers) {
  localRow("NOVOCODIGO", {{"CDCONTADOR", "A"}, {"NRSEQUENCIAL", "9"}});
  localRow("NOVOCODIGO", {{"CDCONTADOR", "B"}, {"NRSEQUENCIAL", "50"}});
  download("cdsNovoCodNFCe", {text("CDCONTADOR"), text("NRSEQUENCIAL"), date("DTULTATU")},
           {{"A", "10", day(1)}, {"B", "7", day(1)}, {"C'", "3", day(1)}});
  applyCounters(ctx, writer);
  EXPECT_EQ(textOf("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = 'A'"), "10");
  EXPECT_EQ(textOf("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = 'B'"), "50");
  EXPECT_EQ(textOf("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = 'C'''"), "3");
  EXPECT_TRUE(counterBelow("9", "10"));
  EXPECT_FALSE(counterBelow("10", "9"));
  EXPECT_TRUE(counterBelow("A9", "B1"));
}

}  // namespace
}  // namespace load::testing
