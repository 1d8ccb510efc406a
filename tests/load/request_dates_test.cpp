#include "load/request_dates.h"

#include "download/ledger/control_ledger.h"
#include "load_fixture.h"

namespace load::testing {
namespace {

class RequestDatesTest : public LoadTest {};

TEST_F(RequestDatesTest, SlotsComeFromEachTablesCountAndNewestDate) {
  ASSERT_EQ(dateSlots().size(), download::kDateSlots);
  const db::DateTime newest = db::DateTime::fromParts(2026, 11, 20, 8, 0, 0);
  localRow("SALA", {{"CDFILIAL", "0001"}, {"CDSALA", "1"}, {"DTULTATUSALA", newest.addDays(-3)}});
  localRow("SALA", {{"CDFILIAL", "0001"}, {"CDSALA", "2"}, {"DTULTATUSALA", newest}});
  download::RequestVectors vectors;
  vectors.vDatasControle[0] = "controlled";
  BuscaDtUltAtuTabelas(ctx, vectors);
  EXPECT_EQ(vectors.vDatasControle[15].asDateTime(), newest);  // 15 SALA
  EXPECT_EQ(vectors.vDatasBase[15].asDateTime(), newest);
  // An empty table: asked from tomorrow by the control date, from the base date otherwise.
  EXPECT_EQ(vectors.vDatasControle[13].asDateTime(), download::dataPedido(0, 1, {}, now));
  EXPECT_EQ(vectors.vDatasBase[13].asDateTime(), download::dataPedido(0, 2, {}, now));
  EXPECT_EQ(vectors.vDatasControle[0].asText(), "controlled");  // left to the ledger
}

TEST_F(RequestDatesTest, ScreenSlotFollowsTheRegistersCurrentConfiguration) {
  const db::DateTime started = now.addDays(-2);
  localRow("CONFTELACAIXA", {{"CDFILIAL", "0001"},
                             {"NRCONFTELA", "7"},
                             {"DTINIVIGENCIA", started},
                             {"CDFILICAIXA", "0001"},
                             {"CDCAIXA", "001"}});
  localRow("CONFTELA", {{"CDFILIAL", "0001"}, {"NRCONFTELA", "7"}, {"DTULTATUCFTE", started}});
  localRow("CONFTELA",
           {{"CDFILIAL", "0001"}, {"NRCONFTELA", "8"}, {"DTULTATUCFTE", now.addDays(-1)}});
  download::RequestVectors vectors;
  BuscaDtUltAtuTabelas(ctx, vectors);
  EXPECT_EQ(vectors.vDatasBase[45].asDateTime(), started);
}

TEST_F(RequestDatesTest, FirstFailureIsLoggedAndLaterSlotsKeepTheirValues) {
  conn.inner().execute("DROP TABLE TABEVEND");  // slot 14
  download::RequestVectors vectors;
  vectors.vDatasBase[15] = "former";
  BuscaDtUltAtuTabelas(ctx, vectors);
  EXPECT_FALSE(vectors.vDatasBase[13].isNull());
  EXPECT_EQ(vectors.vDatasBase[15].asText(), "former");
  EXPECT_TRUE(
      logged("BuscaDtUltAtuTabelas Query: SELECT COUNT(*) AS CONT, MAX(DTULTATUTBVE) AS "
             "DTULTATU FROM TABEVEND"));
}

}  // namespace
}  // namespace load::testing
