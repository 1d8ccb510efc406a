#include "download/statement_files/zip_extractor.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "test_support.h"

namespace download::testing {
namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ZipExtractor, NamesLeavingTheFolder) {
  for (const char* bad : {"../a.sql", "/etc/a.sql", "\\a.sql", "C:\\a.sql", "a/../../b.sql",
                          "a\\..\\..\\b.sql", "..", ""})
    EXPECT_TRUE(escapesDirectory(bad)) << bad;
  for (const char* good : {"a.sql", "sub/a.sql", "a..b.sql", "sub/..hidden/a.sql", "./a.sql"})
    EXPECT_FALSE(escapesDirectory(good)) << good;
}

TEST(ZipExtractor, ExtractsWithPasswordKeepingPathsAndRefusingEscapes) {
  TempDir dir;
  const fs::path archive = dir.path() / "a.zip";
  const fs::path target = dir.path() / "out";
  fs::create_directories(target);
  writeZip(archive, {{"one.sql", "1"}, {"sub/two.sql", "22"}, {"../three.sql", "333"}}, "segredo");
  std::vector<std::string> refused;
  EXPECT_EQ(
      extractAll(archive, target, "segredo", [&](const std::string& m) { refused.push_back(m); }),
      2u);
  EXPECT_EQ(contentOf(target / "one.sql"), "1");
  EXPECT_EQ(contentOf(target / "sub" / "two.sql"), "22");
  EXPECT_FALSE(fs::exists(dir.path() / "three.sql"));
  EXPECT_EQ(refused, std::vector<std::string>{"../three.sql"});
}

TEST(ZipExtractor, BadArchivesRaiseAndLeaveNoPartialFile) {
  TempDir dir;
  const fs::path archive = dir.path() / "a.zip";
  writeZip(archive, {{"one.sql", std::string(100000, 'x')}}, "segredo");
  auto ignore = [](const std::string&) {};
  EXPECT_THROW(extractAll(archive, dir.path(), "errada", ignore), std::runtime_error);
  EXPECT_FALSE(fs::exists(dir.path() / "one.sql"));
  EXPECT_FALSE(fs::exists(dir.path() / "one.sql.part"));

  std::ofstream(dir.path() / "empty.zip").close();
  EXPECT_THROW(extractAll(dir.path() / "empty.zip", dir.path(), "", ignore), std::runtime_error);
  std::ofstream(dir.path() / "junk.zip") << "PK junk";
  EXPECT_THROW(extractAll(dir.path() / "junk.zip", dir.path(), "", ignore), std::runtime_error);
  EXPECT_THROW(extractAll(dir.path() / "missing.zip", dir.path(), "", ignore), std::runtime_error);
}

TEST(ZipExtractor, BombsAndManyMemberArchivesAreRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  auto ignore = [](const std::string&) {};
  const fs::path bomb = dir.path() / "bomb.zip";
  writeZip(bomb, {{"small.sql", "x"}, {"zeros.sql", std::string(8 << 20, '\0')}}, "");
  try {
    extractAll(bomb, dir.path() / "out", "", ignore);
    ADD_FAILURE() << "a zip bomb was extracted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("zip bomb"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(fs::is_empty(dir.path() / "out"));

  std::vector<ZipEntry> many;
  for (int i = 0; i < 65; ++i) many.push_back({"m" + std::to_string(i) + ".sql", "1"});
  writeZip(dir.path() / "many.zip", many, "");
  EXPECT_THROW(extractAll(dir.path() / "many.zip", dir.path() / "out", "", ignore),
               std::runtime_error);
  EXPECT_TRUE(fs::is_empty(dir.path() / "out"));

  // Within the limits it extracts; over a total it does not.
  writeZip(dir.path() / "fine.zip", {{"a.sql", std::string(4000, 'a')}}, "");
  EXPECT_EQ(extractAll(dir.path() / "fine.zip", dir.path() / "out", "", ignore), 1u);
  ZipLimits small;
  small.maxTotalBytes = 3999;
  EXPECT_THROW(extractAll(dir.path() / "fine.zip", dir.path() / "out", "", ignore, small),
               std::runtime_error);
}

TEST(ZipExtractor, LeftoversOfAnInterruptedExtractionAreRemovedButStatementFilesStay) {
  TempDir dir;
  std::ofstream(dir.path() / "a.sql.part") << "half";
  std::ofstream(dir.path() / "b.sql") << "whole";
  fs::create_directories(dir.path() / "sub" / "deeper");
  removeExtractionLeftovers(dir.path());
  EXPECT_FALSE(fs::exists(dir.path() / "a.sql.part"));
  EXPECT_FALSE(fs::exists(dir.path() / "sub"));
  EXPECT_TRUE(fs::exists(dir.path() / "b.sql"));
}

}  // namespace
}  // namespace download::testing
