#include "download/zip_extractor.h"

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

}  // namespace
}  // namespace download::testing
