// The central server failing in the middle of a first run: each fault fails the run with a line
// saying what went wrong, and the next run against a sound server converges.
#include <gtest/gtest.h>

#include "crash/fault_proxy.h"
#include "crash/register_world.h"

namespace {

using crash::ServerFault;

struct Case {
  const char* name;
  ServerFault fault;
  const char* path;
  const char* logged;  // a fragment of the run log's failure line
  bool finalMessage = true;
};

const Case kCases[] = {
    {"ResetMidReply", ServerFault::ResetMidReply, "/getTabelas", "getTabelas"},
    {"Status500", ServerFault::Status500, "/getTabelas", "status 500"},
    {"GarbageJson", ServerFault::GarbageJson, "/getTabelas", "unreadable reply"},
    {"BadPacket", ServerFault::BadPacket, "/getTabelas", "Except: "},
    {"Stall", ServerFault::Stall, "/getTabelas", "getTabelas"},
    {"TruncatedStatementZip", ServerFault::TruncatedBody, "/files/gen/", "TAbUnZipper"},
    // The first run's structure cannot be built: the run stops at the first local table.
    {"TruncatedStructurePackage", ServerFault::TruncatedBody, "/files/struct/",
     "Exception UpdateMSDECache", false},
};

class ServerFaults : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() { world_ = new crash::RegisterWorld(); }
  static void TearDownTestSuite() {
    delete world_;
    world_ = nullptr;
  }
  static inline crash::RegisterWorld* world_ = nullptr;
};

TEST_P(ServerFaults, FailTheRunWithAClearLineAndTheNextRunConverges) {
  const Case& c = GetParam();
  crash::FaultProxy proxy(world_->central().port(), c.fault, c.path);
  // Short limits, so that the stalled server is given up on within the test.
  const auto home = world_->newHome(proxy.port(), "WebConnectTimeout=2\nWebTimeout=2\n");
  const auto failed = world_->kivtab(home);
  EXPECT_TRUE(proxy.faulted());
  EXPECT_EQ(failed.status, 1) << failed.out << failed.err;
  const std::string log = world_->runLog(home);
  if (c.finalMessage) {
    EXPECT_NE(log.find("OCORREU UM ERRO DURANTE A ATUALIZAÇÃO"), std::string::npos) << failed.out;
  }
  EXPECT_NE(log.find(c.logged), std::string::npos)
      << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);

  const auto again = world_->kivtab(home);
  ASSERT_EQ(again.status, 0) << again.out << again.err;
  const auto check = world_->verify(home);
  EXPECT_EQ(check.status, 0) << check.out;
}

INSTANTIATE_TEST_SUITE_P(Faults, ServerFaults, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
