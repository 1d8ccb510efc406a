#include "load/keyed_merge.h"

#include "download/component_error.h"
#include "load/merge_tables.h"
#include "load_fixture.h"

namespace load::testing {
namespace {

class KeyedMergeTest : public LoadTest {
 protected:
  KeyedMerge merge{ctx};
  db::DateTime day(int d) { return db::DateTime::fromParts(2026, 11, d, 10, 0, 0); }
  static Cells room(const char* code, const char* name) {
    return {{"CDFILIAL", "0001"}, {"CDSALA", code}, {"DSSALA", name}};
  }
};

TEST_F(KeyedMergeTest, EmptyDownloadTouchesNothingNotEvenForDeleteMissing) {
  localRow("TIPOSANGRIA", {{"CDFILIAL", "0001"}, {"CDTPSANGRIA", "01"}});
  downloadTable("cdsTipoSangria", "TIPOSANGRIA", {});
  merge.run("TIPOSANGRIA");
  merge.run("SALA");  // no dataset at all
  EXPECT_EQ(conn.begins, 0);
  EXPECT_EQ(conn.count("TIPOSANGRIA"), 1);
}

TEST_F(KeyedMergeTest, UpdatesByKeyInsertsNewAndKeepsUnmentionedRows) {
  localRow("SALA", {{"CDFILIAL", "0001"}, {"CDSALA", "01"}, {"DSSALA", "Velha"}});
  localRow("SALA", {{"CDFILIAL", "0001"}, {"CDSALA", "09"}, {"DSSALA", "Intocada"}});
  downloadTable("cdsSala", "SALA",
                {{{"CDFILIAL", "0001"}, {"CDSALA", "01"}, {"DSSALA", "Nova"}},
                 {{"CDFILIAL", "0001"}, {"CDSALA", "02"}, {"DSSALA", "Outra"}}});
  merge.run("SALA");
  EXPECT_EQ(conn.count("SALA"), 3);
  EXPECT_EQ(textOf("SELECT DSSALA FROM SALA WHERE CDSALA = '01'"), "Nova");
  EXPECT_EQ(textOf("SELECT DSSALA FROM SALA WHERE CDSALA = '09'"), "Intocada");
  EXPECT_EQ(conn.begins, 1);
  EXPECT_EQ(conn.commits, 1);
}

// Into an empty table new keys skip their UPDATE; keys the database holds equal must still
// end as one row, the last one downloaded.
TEST_F(KeyedMergeTest, FirstLoadKeepsOneRowPerKeyAsTheDatabaseComparesKeys) {
  downloadTable(
      "cdsSala", "SALA",
      {room("01", "a"), room("01", "b"), room("xy", "c"), room("XY", "d"), room("xy ", "e")});
  merge.run("SALA");
  EXPECT_EQ(conn.count("SALA"), 3);
  EXPECT_EQ(textOf("SELECT DSSALA FROM SALA WHERE CDSALA = '01'"), "b");
  EXPECT_EQ(textOf("SELECT DSSALA FROM SALA WHERE CDSALA = 'xy'"), "d");
  EXPECT_EQ(textOf("SELECT DSSALA FROM SALA WHERE CDSALA = 'xy '"), "e");

  // A numeric key column holds "7" and "007" as one key, which no text comparison sees.
  conn.inner().execute("DROP TABLE SALA");
  conn.inner().execute(
      "CREATE TABLE SALA (CDFILIAL VARCHAR(4) NOT NULL, CDSALA INT NOT NULL, DSSALA "
      "VARCHAR(40), DTULTATUSALA DATETIME, PRIMARY KEY (CDFILIAL, CDSALA))");
  downloadTable("cdsSala", "SALA", {room("7", "first"), room("007", "last")});
  merge.run("SALA");
  EXPECT_EQ(conn.count("SALA"), 1);
  EXPECT_EQ(textOf("SELECT DSSALA FROM SALA"), "last");
  EXPECT_EQ(conn.commits, 2);
}

TEST_F(KeyedMergeTest, RowEqualToLocalOneIsRewrittenWithDownloadedNulls) {
  localRow("SALA", {{"CDFILIAL", "0001"}, {"CDSALA", "01"}, {"DSSALA", "Igual"}});
  downloadTable("cdsSala", "SALA", {{{"CDFILIAL", "0001"}, {"CDSALA", "01"}, {"DSSALA", "Igual"}}});
  conn.inner().execute("UPDATE SALA SET DTULTATUSALA = NULL");
  merge.run("SALA");
  EXPECT_EQ(conn.count("SALA"), 1);
  // A NULL in the download overwrites what the local row held.
  localRow("SALA", {{"CDFILIAL", "0001"}, {"CDSALA", "02"}, {"DSSALA", "Tem nome"}});
  downloadTable("cdsSala", "SALA", {{{"CDFILIAL", "0001"}, {"CDSALA", "02"}}});
  merge.run("SALA");
  EXPECT_TRUE(conn.scalar("SELECT DSSALA FROM SALA WHERE CDSALA = '02'").isNull());
}

TEST_F(KeyedMergeTest, DuplicateLocalAliquotRowsBecomeTheDownloadedOne) {
  // A local table without its key, as old bases have it, can hold two rows for one key.
  conn.inner().execute("DROP TABLE ALIQIMPFIS");
  conn.inner().execute(
      "CREATE TABLE ALIQIMPFIS (CDFILIAL VARCHAR(4), CDPRODUTO VARCHAR(20), CDIMPOSTO "
      "VARCHAR(10), VRALIQIMPFIS VARCHAR(10), DTULTATUALIF DATETIME)");
  for (const char* value : {"1", "2"})
    localRow("ALIQIMPFIS", {{"CDFILIAL", "0001"},
                            {"CDPRODUTO", "P1"},
                            {"CDIMPOSTO", "ICMS"},
                            {"VRALIQIMPFIS", value}});
  download("cdsAliqImpFis",
           {text("CDFILIAL"), text("CDPRODUTO"), text("CDIMPOSTO"), text("VRALIQIMPFIS"),
            date("DTULTATUALIF")},
           {{"0001", "P1", "ICMS", "7", day(3)}});
  merge.run("ALIQIMPFIS");
  EXPECT_EQ(conn.count("ALIQIMPFIS"), 1);
  EXPECT_EQ(textOf("SELECT VRALIQIMPFIS FROM ALIQIMPFIS"), "7");
  EXPECT_TRUE(state.dataset("cdsAliqImpFis").isEmpty());
  EXPECT_TRUE(logged("before check cds ALIQIMPFIS"));
}

// A product's rows told apart by the last key column (its tax, its external code) stay apart.
TEST_F(KeyedMergeTest, RowsOfOneProductAreMergedByTheTablesWholeKey) {
  struct Case {
    const char* table;
    const char* dataset;
    const char* code;
    const char* text;
  };
  for (const Case& c : {Case{"ALIQIMPFIS", "cdsAliqImpFis", "CDIMPOSTO", "DSALIQIMPFIS"},
                        Case{"PRODEXTERNO", "cdsProdExterno", "CDPRODUTOEXT", "DSPRODEXTERN"}}) {
    SCOPED_TRACE(c.table);
    localRow(c.table, {{"CDFILIAL", "0001"}, {"CDPRODUTO", "P1"}, {c.code, "A"}, {c.text, "a"}});
    downloadTable(c.dataset, c.table,
                  {{{"CDFILIAL", "0001"}, {"CDPRODUTO", "P1"}, {c.code, "B"}, {c.text, "b"}},
                   {{"CDFILIAL", "0001"}, {"CDPRODUTO", "P1"}, {c.code, "C"}, {c.text, "c"}},
                   {{"CDFILIAL", "0001"}, {"CDPRODUTO", "P1"}, {c.code, "A"}, {c.text, "a2"}}});
    merge.run(c.table);
    EXPECT_EQ(conn.count(c.table), 3);
    for (const auto& [code, text] : {std::pair{"A", "a2"}, {"B", "b"}, {"C", "c"}})
      EXPECT_EQ(conn.scalar(std::string("SELECT ") + c.text + " FROM " + c.table + " WHERE " +
                            c.code + " = '" + code + "'")
                    .asText(),
                text);
  }
}

TEST_F(KeyedMergeTest, TableKeepsItsLocalStatusAndNewOnesAreMarkedD) {
  localRow("MESA", {{"CDFILIAL", "0001"}, {"CDLOJA", "01"}, {"NRMESA", "1"}, {"IDSTMESAAUX", "O"}});
  downloadTable("cdsMesa", "MESA",
                {{{"CDFILIAL", "0001"},
                  {"CDLOJA", "01"},
                  {"NRMESA", "1"},
                  {"IDSTMESAAUX", "X"},
                  {"DTULTATUMESA", day(2)}},
                 {{"CDFILIAL", "0001"}, {"CDLOJA", "01"}, {"NRMESA", "2"}, {"IDSTMESAAUX", "X"}}});
  merge.run("MESA");
  EXPECT_EQ(textOf("SELECT IDSTMESAAUX FROM MESA WHERE NRMESA = '1'"), "O");
  EXPECT_EQ(textOf("SELECT IDSTMESAAUX FROM MESA WHERE NRMESA = '2'"), "D");
  EXPECT_EQ(conn.scalar("SELECT DTULTATUMESA FROM MESA WHERE NRMESA = '1'").asDateTime(), day(2));
}

TEST_F(KeyedMergeTest, DeleteMissingLeavesTheTableEqualToTheDownload) {
  localRow("TIPOSANGRIA", {{"CDFILIAL", "0001"}, {"CDTPSANGRIA", "01"}});
  localRow("TIPOSANGRIA", {{"CDFILIAL", "0001"}, {"CDTPSANGRIA", "02"}});
  localRow("TIPOSANGRIA", {{"CDFILIAL", "0002"}, {"CDTPSANGRIA", "01"}});
  downloadTable("cdsTipoSangria", "TIPOSANGRIA",
                {{{"CDFILIAL", "0001"}, {"CDTPSANGRIA", "02"}},
                 {{"CDFILIAL", "0001"}, {"CDTPSANGRIA", "03"}}});
  merge.run("TIPOSANGRIA");
  EXPECT_EQ(conn.count("TIPOSANGRIA"), 2);
  EXPECT_EQ(conn.count("TIPOSANGRIA", "CDTPSANGRIA IN ('02', '03') AND CDFILIAL = '0001'"), 2);

  localRow("PRODAMBIENTE",
           {{"CDFILIAL", "0001"}, {"CDLOJA", "01"}, {"CDPRODUTO", "P1"}, {"NRPRODAMBIENTE", "1"}});
  localRow("PRODAMBIENTE",
           {{"CDFILIAL", "0001"}, {"CDLOJA", "01"}, {"CDPRODUTO", "P2"}, {"NRPRODAMBIENTE", "1"}});
  downloadTable(
      "cdsProdambiente", "PRODAMBIENTE",
      {{{"CDFILIAL", "0001"}, {"CDLOJA", "01"}, {"CDPRODUTO", "P2"}, {"NRPRODAMBIENTE", "1"}}});
  merge.run("PRODAMBIENTE");
  EXPECT_EQ(conn.count("PRODAMBIENTE"), 1);
  EXPECT_EQ(textOf("SELECT CDPRODUTO FROM PRODAMBIENTE"), "P2");
}

TEST_F(KeyedMergeTest, MenuButtonsAllCarryTheGreatestDateAndTheLedgerGetsItPerRegister) {
  auto button = [&](const char* number, db::DateTime when) {
    return Cells{{"CDFILIAL", "0001"},  {"NRCONFTELA", "1"},    {"IDTPBUTTON", "A"},
                 {"NRBUTTON", number},  {"NRPGCONFTELA", "1"},  {"IDTPBUTONAUX", "A"},
                 {"NRBUTTONAUX", "0"},  {"NRPGCONFTAUX", "0"},  {"IDTPBUTONAUX2", "A"},
                 {"NRBUTTONAUX2", "0"}, {"NRPGCONFTAUX2", "0"}, {"DTULTATUITCT", when}};
  };
  downloadTable("cdsItMenuConfTe", "ITMENUCONFTE",
                {button("1", day(1)), button("2", day(5)), button("3", day(3))});
  merge.run("ITMENUCONFTE", true);
  EXPECT_EQ(conn.count("ITMENUCONFTE"), 3);
  auto dates = conn.inner().query("SELECT DISTINCT DTULTATUITCT FROM ITMENUCONFTE");
  ASSERT_TRUE(dates->next());
  EXPECT_EQ(dates->at(0).asDateTime(), day(5));
  EXPECT_FALSE(dates->next());
  dates.reset();
  EXPECT_EQ(conn.scalar("SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE NMTABELA = 'ITMENUCONFTE' "
                        "AND CDCAIXA = '001'")
                .asDateTime(),
            day(5));
}

TEST_F(KeyedMergeTest, LedgerVariantRecordsTheGreatestDateOnlyWithTheFlagWhereAsked) {
  auto price = [&](const char* product, db::DateTime when) {
    return Cells{{"CDTABEPREC", "T1"},
                 {"DTINIVGPREC", day(1)},
                 {"CDPRODUTO", product},
                 {"CDPRPAITABPR", "X"},
                 {"DTULTATU", when}};
  };
  downloadTable("cdsItemPrecoGer", "ITEMPRECOGER", {price("P1", day(4)), price("P2", day(9))});
  merge.run("ITEMPRECOGER");
  EXPECT_EQ(conn.count("CTRLBAIXATAB"), 0);
  downloadTable("cdsItemPrecoGer", "ITEMPRECOGER", {price("P1", day(4)), price("P2", day(9))});
  merge.run("ITEMPRECOGER", true);
  EXPECT_EQ(conn.scalar("SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE NMTABELA = 'ITEMPRECOGER' "
                        "AND CDFILIAL = '0001'")
                .asDateTime(),
            day(9));
  EXPECT_EQ(conn.count("ITEMPRECOGER"), 2);
}

TEST_F(KeyedMergeTest, ProductsTakeOnlyTheDownloadedColumns) {
  localRow("PRODUTO", {{"CDPRODUTO", "P1"}, {"NMPRODUTO", "Velho"}, {"CDARVPROD", "ARV1"}});
  download("cdsProduto", {text("CDPRODUTO"), text("NMPRODUTO"), date("DTULTATUPROD")},
           {{"P1", "Novo", day(2)}, {"P'2", "Com aspa", day(3)}});
  merge.run("PRODUTO", true);
  EXPECT_EQ(textOf("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = 'P1'"), "Novo");
  EXPECT_EQ(textOf("SELECT CDARVPROD FROM PRODUTO WHERE CDPRODUTO = 'P1'"), "ARV1");
  EXPECT_EQ(conn.count("PRODUTO", "CDPRODUTO = 'P''2'"), 1);
}

TEST_F(KeyedMergeTest, DeliveryHistoryOnlyForOrdersHeldLocally) {
  localRow(
      "VENDAREST",
      {{"CDFILIAL", "0001"}, {"CDLOJA", "01"}, {"NRVENDAREST", "V1"}, {"DTHRABERMESA", day(5)}});
  localRow("COMANDAVEN", {{"CDFILIAL", "0001"},
                          {"CDLOJA", "01"},
                          {"NRVENDAREST", "V1"},
                          {"NRCOMANDA", "C1"},
                          {"DSCOMANDA", "DLV_123"}});
  auto history = [&](const char* order, const char* seq) {
    return Cells{{"CDFILIAL", "0001"},      {"CDLOJA", "01"},           {"NRVENDARESTAUX", order},
                 {"DTHRABERMESA", day(5)},  {"NRSEQHISTPED", seq},      {"IDHISTPEDCONS", "E"},
                 {"DSHISTPEDCONS", "Saiu"}, {"DTHRHISTPEDCONS", day(6)}};
  };
  downloadTable("cdsHISTPEDCONS", "HISTPEDCONS", {history("V1", "1"), history("V9", "1")});
  merge.run("HISTPEDCONS");
  merge.run("HISTPEDCONS");  // the same history again is already there
  EXPECT_EQ(conn.count("HISTPEDCONS"), 1);
  EXPECT_EQ(textOf("SELECT NRCOMANDA FROM HISTPEDCONS"), "C1");
}

TEST_F(KeyedMergeTest, MissingColumnFailsNamingTheQueryAndRollsBack) {
  download("cdsSala", {text("CDFILIAL"), text("CDSALA")}, {{"0001", "01"}});
  try {
    merge.run("SALA");
    FAIL() << "a download lacking a local column must fail";
  } catch (const download::ComponentError& error) {
    EXPECT_EQ(error.component(), "adqCliSala");
    EXPECT_NE(std::string(error.what()).find("DTULTATUSALA"), std::string::npos) << error.what();
  }
  EXPECT_EQ(conn.count("SALA"), 0);
  EXPECT_FALSE(conn.inTransaction());
}

TEST_F(KeyedMergeTest, ValueOfTheWrongTypeFailsTheTable) {
  download("cdsSala", {text("CDFILIAL"), text("CDSALA"), text("DTULTATUSALA"), text("DSSALA")},
           {{"0001", "01", "2026-11-02", "Boa"}, {"0001", "02", "ontem", "Ruim"}});
  EXPECT_THROW(merge.run("SALA"), download::ComponentError);
  EXPECT_EQ(conn.count("SALA"), 0);
}

TEST_F(KeyedMergeTest, LostDatabaseMidTableRollsBackThatTable) {
  downloadTable("cdsSala", "SALA", {{{"CDFILIAL", "0001"}, {"CDSALA", "01"}}});
  merge.run("SALA");
  downloadTable("cdsTabePrec", "TABEPREC", {{{"CDFILIAL", "0001"}, {"CDTABEPREC", "T1"}}});
  conn.lost = true;
  EXPECT_THROW(merge.run("TABEPREC"), download::ComponentError);
  conn.lost = false;
  EXPECT_EQ(conn.count("SALA"), 1);
  EXPECT_EQ(conn.count("TABEPREC"), 0);
}

TEST(MergeTables, EveryMemberHasKeysAndTheLedgerVariantsADateColumn) {
  for (const auto& member : mergeTables()) {
    EXPECT_FALSE(member.keys.empty()) << member.table;
    EXPECT_EQ(member.has(kLedger), !member.dateColumn.empty()) << member.table;
    EXPECT_EQ(member.dataset.substr(0, 3), "cds") << member.table;
  }
  EXPECT_EQ(mergeTables().size(), 113u);
}

}  // namespace
}  // namespace load::testing
