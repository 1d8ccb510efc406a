#include "consumer_central/central_names.h"

#include <gtest/gtest.h>

namespace consumer_central {
namespace {

TEST(CentralNames, OnlyPlainIdentifiersReachAStatement) {
  EXPECT_EQ(CentralNames("CONSCENTRAL", "dbo").qualified("MOVICLIE"), "CONSCENTRAL.dbo.MOVICLIE");
  EXPECT_EQ(CentralNames("_Cons_2", "sch$1").qualified("SENHACONS"), "_Cons_2.sch$1.SENHACONS");
  EXPECT_EQ(CentralNames("CONSUMO   ", " dbo").qualified("SALDOCONS"), "CONSUMO.dbo.SALDOCONS");
  for (const std::string& bad :
       {std::string(), std::string("CENTRAL;DROP TABLE MOVICLIE"), std::string("a b"),
        std::string("1CENTRAL"), std::string("[CENTRAL]"), std::string("CEN.TRAL"),
        std::string("../x"), std::string("CENTRAL'--"), std::string(129, 'A')}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(isIdentifier(bad));
    try {
      CentralNames(bad, "dbo");
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find("PARAVEND.NMSQLNAMEDB"), std::string::npos);
    }
  }
  EXPECT_TRUE(isIdentifier(std::string(128, 'A')));
  try {
    CentralNames("CENTRAL", "dbo;x");
    ADD_FAILURE() << "accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("PARAVEND.NMSQLSCHEMADB \"dbo;x\""), std::string::npos);
  }
}

}  // namespace
}  // namespace consumer_central
