// The verification tool on a register loaded by a real run: equal, then told apart from a
// local database that lost or changed rows, and unable to tell when it cannot read.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>

#include "crash/register_world.h"
#include "db/connect.h"
#include "db/core/connection.h"

namespace {

class Verify : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    world_ = new crash::RegisterWorld();
    home_ = world_->newHome();
    const auto run = world_->kivtab(home_);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
  }
  static void TearDownTestSuite() {
    delete world_;
    world_ = nullptr;
  }

  // A copy of the loaded register that a test may spoil.
  std::filesystem::path spoiledCopy() {
    const auto home = world_->newHome();
    std::filesystem::copy_file(world_->localOf(home_), world_->localOf(home));
    return home;
  }

  static inline crash::RegisterWorld* world_ = nullptr;
  static inline std::filesystem::path home_;
};

TEST_F(Verify, ARegisterJustLoadedEqualsTheCentralData) {
  const auto text = world_->verify(home_);
  EXPECT_EQ(text.status, 0) << text.out << text.err;
  EXPECT_NE(text.out.find(", 0 differ"), std::string::npos) << text.out;

  const auto json = world_->verify(home_, {"--format", "json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto report = nlohmann::json::parse(json.out);
  EXPECT_TRUE(report["equal"].get<bool>());
  bool sawNote = false;
  for (const auto& table : report["tables"]) {
    if (table["comparison"] == "exact")
      EXPECT_EQ(table["localHash"], table["centralHash"]) << table["table"];
    else
      sawNote = table.contains("note");
  }
  // Tables that may differ say what was compared instead.
  EXPECT_TRUE(sawNote);
}

TEST_F(Verify, ALostRowAndAChangedValueAreNamedByKey) {
  const auto home = spoiledCopy();
  {
    auto local = db::connect(world_->connectionOf(home));
    ASSERT_GT(local->execute("DELETE FROM TIPORECE WHERE CDTIPORECE = "
                             "(SELECT MIN(CDTIPORECE) FROM TIPORECE)"),
              0);
    ASSERT_GT(local->execute("UPDATE UNIDMEDIDA SET DSUNIDMEDIDA = 'x' WHERE SGUNIDADE = "
                             "(SELECT MIN(SGUNIDADE) FROM UNIDMEDIDA)"),
              0);
  }
  const auto result = world_->verify(home, {"--format", "json"});
  ASSERT_EQ(result.status, 1) << result.out << result.err;
  const auto report = nlohmann::json::parse(result.out);
  EXPECT_FALSE(report["equal"].get<bool>());
  std::set<std::string> differing;
  for (const auto& table : report["tables"]) {
    if (table["equal"].get<bool>()) continue;
    differing.insert(table["table"].get<std::string>());
    ASSERT_FALSE(table["differingKeys"].empty()) << table["table"];
    EXPECT_NE(table["localHash"], table["centralHash"]);
  }
  EXPECT_EQ(differing, (std::set<std::string>{"TIPORECE", "UNIDMEDIDA"}));
}

TEST_F(Verify, WhatCannotBeReadIsAnErrorNotADifference) {
  const auto home = world_->newHome();
  const auto missingCentral = testing_support::run(
      {KIVTAB_CENTRAL_EXE, "verify", "--db", (home / "none.db").string(), "--branch", "0001",
       "--register", "001", "--connection", world_->connectionOf(home_)},
      {}, home / "out");
  EXPECT_EQ(missingCentral.status, 2);
  const auto badConnection = testing_support::run(
      {KIVTAB_CENTRAL_EXE, "verify", "--db", world_->central().path(), "--branch", "0001",
       "--register", "001", "--connection", "Provider=Nothing;Data Source=x"},
      {}, home / "out");
  EXPECT_EQ(badConnection.status, 2) << badConnection.out;
  EXPECT_NE(badConnection.err.find("kivtab-central verify:"), std::string::npos);
}

}  // namespace
