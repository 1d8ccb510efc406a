// A run killed at the commits and step boundaries of a first and of an incremental run, then run
// again to the end: the register must hold what the central data says, every time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <vector>

#include "crash/register_world.h"

namespace {

// How many passes of a point that is reached many times are tried: the first, the last and
// evenly spaced ones between. KIVTAB_WALK_SAMPLES widens the walk beyond CI's budget.
int samplesPerPoint() {
  const char* wanted = std::getenv("KIVTAB_WALK_SAMPLES");
  const int n = wanted ? std::atoi(wanted) : 3;
  return n < 2 ? 2 : n;
}

// The points a whole run passes and how often, from the fault switch's trace.
std::map<std::string, int> pointsOf(const std::filesystem::path& trace) {
  std::map<std::string, int> passes;
  std::ifstream in(trace);
  for (std::string point; std::getline(in, point);) ++passes[point];
  return passes;
}

std::vector<int> passesToTry(int passes) {
  const int samples = std::min(passes, samplesPerPoint());
  std::vector<int> chosen;
  for (int i = 0; i < samples; ++i) {
    const int pass = samples == 1 ? 1 : 1 + (passes - 1) * i / (samples - 1);
    if (chosen.empty() || chosen.back() != pass) chosen.push_back(pass);
  }
  return chosen;
}

class FaultWalk : public ::testing::Test {
 protected:
  // Copies the starting local database (none for a first run) into a fresh home, kills a run at
  // the fault, runs again, and checks the register.
  void walk(const std::optional<std::filesystem::path>& start) {
    const auto traced = world.newHome();
    if (start) std::filesystem::copy_file(*start, world.localOf(traced));
    const auto reference =
        world.kivtab(traced, {{"KIVTAB_FAULT_TRACE", (traced / "trace").string()}});
    ASSERT_EQ(reference.status, 0) << reference.out << reference.err;
    const auto points = pointsOf(traced / "trace");
    ASSERT_TRUE(points.contains("load.step") && points.contains("commit"));

    int killed = 0;
    for (const auto& [point, passes] : points) {
      for (int pass : passesToTry(passes)) {
        const std::string fault = point + ":" + std::to_string(pass);
        const auto home = world.newHome();
        if (start) std::filesystem::copy_file(*start, world.localOf(home));
        const auto stopped = world.kivtab(home, {{"KIVTAB_FAULT", fault}});
        if (stopped.status == -1) ++killed;
        const auto again = world.kivtab(home);
        ASSERT_EQ(again.status, 0) << "after " << fault << ":\n" << again.out << again.err;
        const auto check = world.verify(home);
        EXPECT_EQ(check.status, 0) << "after " << fault << ":\n" << check.out << check.err;
        std::filesystem::remove_all(home);
      }
    }
    EXPECT_GT(killed, static_cast<int>(points.size()));
  }

  // The register of `home` run and killed at `fault`.
  void stopAt(const std::filesystem::path& home, const std::string& fault) {
    EXPECT_EQ(world.kivtab(home, {{"KIVTAB_FAULT", fault}}).status, -1) << fault;
  }

  // The register of `home` run again to the end holds what the central data says.
  void expectConverges(const std::filesystem::path& home) {
    const auto again = world.kivtab(home);
    ASSERT_EQ(again.status, 0) << again.out << again.err;
    const auto check = world.verify(home);
    EXPECT_EQ(check.status, 0) << check.out;
  }

  crash::RegisterWorld world;
};

// The merges move the tables' request dates past the batch before the delete cache applies its
// deletions; the next run asks only for deletions after those dates.
TEST_F(FaultWalk, DeletionsOfARunStoppedBeforeTheDeleteCacheReachTheNextRun) {
  const auto home = world.newHome();
  ASSERT_EQ(world.kivtab(home).status, 0);
  world.changeCentral();
  stopAt(home, "load.sequence");
  expectConverges(home);
}

// The next run adds its own deletions to the kept ones and writes them back table by table; one
// stopped after the first table leaves the other tables' files as they were.
TEST_F(FaultWalk, KeptDeletionsSurviveARunStoppedWhileWritingThemBack) {
  const auto home = world.newHome();
  ASSERT_EQ(world.kivtab(home).status, 0);
  world.changeCentral();
  stopAt(home, "load.sequence");
  stopAt(home, "load.pending");
  expectConverges(home);
}

TEST_F(FaultWalk, AFirstRunStoppedAnywhereConvergesOnTheNextRun) { walk(std::nullopt); }

TEST_F(FaultWalk, AnIncrementalRunStoppedAnywhereConvergesOnTheNextRun) {
  const auto first = world.newHome();
  const auto run = world.kivtab(first);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  world.changeCentral();
  walk(world.localOf(first));
}

}  // namespace
