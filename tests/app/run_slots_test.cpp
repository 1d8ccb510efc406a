#include "app/run_slots.h"

#include <gtest/gtest.h>

#include "app/fiscal_retrieval.h"

namespace app {
namespace {

std::optional<ParameterFileRecord> noFile() { return std::nullopt; }

TEST(RunSlots, PlainFormFillsSlotsInOrderAndKeepsEmptyFields) {
  const RunSlots s = CarregaParametros("TABELAS_0001_001_", noFile);
  EXPECT_EQ(s.mode(), "TABELAS");
  EXPECT_EQ(s.branch(), "0001");
  EXPECT_EQ(s.cashRegister(), "001");
  EXPECT_FALSE(s.hidden);
  for (size_t i = 3; i < RunSlots::kCount; ++i) EXPECT_EQ(s.slot[i], "");

  const RunSlots withId = CarregaParametros("TABELAS_0001_009_ATU__42_", noFile);
  EXPECT_EQ(withId.force(), "ATU");
  EXPECT_EQ(withId.slot[4], "");
  EXPECT_EQ(withId.remoteId(), "42");

  const RunSlots ten = CarregaParametros("A_B_C_D_E_F_G_H_I_J_", noFile);
  EXPECT_EQ(ten.slot[9], "J");
  // Blanks after the last underscore count as nothing more.
  EXPECT_EQ(CarregaParametros("ESTOQUE_0001_001_  ", noFile).mode(), "ESTOQUE");
}

TEST(RunSlots, PlainFormRejectsUnclosedFieldsAndMoreThanTenFields) {
  try {
    CarregaParametros("TABELAS_0001_001_x_y_77_5", noFile);
    FAIL() << "an unclosed last field was accepted";
  } catch (const ParameterError& e) {
    // What was read before the fault stays, so the status row can still be told.
    EXPECT_EQ(e.slots().remoteId(), "77");
    EXPECT_NE(std::string(e.what()).find("\"5\""), std::string::npos);
  }
  EXPECT_THROW(CarregaParametros("TABELAS", noFile), ParameterError);
  EXPECT_THROW(CarregaParametros("A_B_C_D_E_F_G_H_I_J_K_", noFile), ParameterError);
}

TEST(RunSlots, SyncFormHidesTheWindowAndMapsIdBranchRegister) {
  const RunSlots s = CarregaParametros("SYNC_17_0001_001_", noFile);
  EXPECT_EQ(s.mode(), "TABELAS");
  EXPECT_EQ(s.remoteId(), "17");
  EXPECT_EQ(s.branch(), "0001");
  EXPECT_EQ(s.cashRegister(), "001");
  EXPECT_TRUE(s.hidden);

  const RunSlots unclosed = CarregaParametros("SYNC_17_0001_001", noFile);
  EXPECT_EQ(unclosed.branch(), "0001");
  EXPECT_EQ(unclosed.cashRegister(), "");
}

TEST(RunSlots, BlankParameterUsesTheParameterFileWhenPresent) {
  const RunSlots none = CarregaParametros("", noFile);
  for (const auto& slot : none.slot) EXPECT_EQ(slot, "");

  auto file = [] { return std::optional<ParameterFileRecord>({"0002", "003"}); };
  const RunSlots fromFile = CarregaParametros("   ", file);
  EXPECT_EQ(fromFile.mode(), "TABELAS");
  EXPECT_EQ(fromFile.branch(), "0002");
  EXPECT_EQ(fromFile.cashRegister(), "003");

  // The SYNC values replace the file's, even an empty one lost to a missing underscore.
  const RunSlots sync = CarregaParametros("SYNC_5_0001_", file);
  EXPECT_EQ(sync.branch(), "0001");
  EXPECT_EQ(sync.cashRegister(), "");
  EXPECT_EQ(sync.remoteId(), "5");

  // A plain parameter never reads the file.
  bool read = false;
  CarregaParametros("TABELAS_0001_001_", [&] {
    read = true;
    return std::optional<ParameterFileRecord>();
  });
  EXPECT_FALSE(read);
}

TEST(RegisterDateTime, DayMonthYearWithOrWithoutATime) {
  EXPECT_EQ(registerDateTime("05/11/2026"), db::DateTime::fromParts(2026, 11, 5));
  EXPECT_EQ(registerDateTime("05/11/2026 08:30"), db::DateTime::fromParts(2026, 11, 5, 8, 30));
  EXPECT_EQ(registerDateTime("31/12/2026 23:59:58"),
            db::DateTime::fromParts(2026, 12, 31, 23, 59, 58));
  for (const char* bad : {"", "2026-11-05", "20261105", "5/11/2026", "05/11/26", "31/04/2026",
                          "05/11/2026T08:30", "05/11/2026 8:30", "05/11/2026x", "05-11-2026"})
    EXPECT_THROW(registerDateTime(bad), std::invalid_argument) << bad;
}

}  // namespace
}  // namespace app
