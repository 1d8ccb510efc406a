#include "load/delete_cache_key.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace load {
namespace {

TEST(CacheKeyValue, ReadsEachPairByItsOwnName) {
  const std::string key = "CDFILIAL=0001;CDPRODUTOEXT=EXT9;CDPRODUTO=12;";
  EXPECT_EQ(cacheKeyValue(key, "CDFILIAL"), "0001");
  EXPECT_EQ(cacheKeyValue(key, "CDPRODUTO"), "12");
  EXPECT_EQ(cacheKeyValue(key, "CDPRODUTOEXT"), "EXT9");
  // Any one separator character; values may hold quotes and blanks.
  EXPECT_EQ(cacheKeyValue("CDPRODUTO#O'Neil 1;", "CDPRODUTO"), "O'Neil 1");
  EXPECT_EQ(cacheKeyValue("CDPRODUTO=;", "CDPRODUTO"), "");
}

TEST(CacheKeyValue, CompactDatesOfDateColumnsAreSpelledOut) {
  EXPECT_EQ(cacheKeyValue("DTINIVGPREC=20260105134502;", "DTINIVGPREC"), "2026-01-05 13:45:02");
  EXPECT_EQ(cacheKeyValue("DTINIVGPREC=05/01/2026;", "DTINIVGPREC"), "05/01/2026");
  EXPECT_EQ(cacheKeyValue("DTREF=2026-01-05;", "DTREF"), "2026-01-05");
  // Only columns named DT... are dates.
  EXPECT_EQ(cacheKeyValue("NRSEQ=20260105134502;", "NRSEQ"), "20260105134502");
}

TEST(CacheKeyValue, MalformedTextsRaiseNamingTheColumn) {
  for (const char* bad : {
           "CDFILIAL=0001;",              // column absent
           "CDPRODUTO=12",                // no closing ";"
           "CDPRODUTO;",                  // no separator
           "CDPRODUTO12;",                // name runs into the value
           "XCDPRODUTO=1;",               // only inside another name
           "DTINIVGPREC=2026010513;",     // compact date too short
           "DTINIVGPREC=2026O105134502;"  // not digits
       }) {
    const std::string column = std::string(bad).starts_with("DT") ? "DTINIVGPREC" : "CDPRODUTO";
    try {
      cacheKeyValue(bad, column);
      ADD_FAILURE() << bad;
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(column), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace load
