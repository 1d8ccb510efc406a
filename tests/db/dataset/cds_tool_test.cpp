// The kivtab-cds command line: dumps of twins, conversions, and errors on bad input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "compare.h"
#include "db/dataset/base64.h"
#include "db/dataset/dataset.h"
#include "db/dataset/decimal.h"
#include "render.h"
#include "test_paths.h"

namespace {

using dataset_test::fixture;

const std::string kTool = std::string(KIVTAB_BINARY_DIR) + "/tools/cds/kivtab-cds";

struct ToolRun {
  int status;
  std::string out;
};

ToolRun run(const std::string& args) {
  ToolRun r{0, ""};
  FILE* p = popen((kTool + " " + args + " 2>&1").c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  r.status = pclose(p);
  return r;
}

TEST(CdsTool, DumpsOfTwinsAreIdenticalAndConvertRoundTrips) {
  SKIP_WITHOUT_SAMPLE_FILES();
  for (const std::string name : {"customer", "holdings", "vendors", "animals"}) {
    const ToolRun binary = run("dump " + fixture(name + ".cds") + " --format json");
    const ToolRun xml = run("dump " + fixture(name + ".xml"));
    EXPECT_EQ(binary.status, 0) << binary.out;
    EXPECT_EQ(binary.out, xml.out) << name;
  }
  const ToolRun json = run("dump " + fixture("holdings.cds"));
  EXPECT_NE(json.out.find("\"PUR_DATE\": \"1987-09-13T00:00:00.000\""), std::string::npos)
      << json.out.substr(0, 600);
  EXPECT_NE(json.out.find("{\n \"fields\": [\n  {\n   \"name\": \"ACCT_NBR\""), std::string::npos);

  const auto dir =
      std::filesystem::temp_directory_path() / ("kivtab_cds_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string xml = (dir / "employee.xml").string();
  const std::string back = (dir / "employee.cds").string();
  EXPECT_EQ(run("convert " + fixture("employee.cds") + " " + xml + " --format xml").status, 0);
  EXPECT_EQ(run("convert " + xml + " " + back + " --format binary").status, 0);
  db::DataSet original, converted;
  original.loadFromFile(fixture("employee.cds"));
  converted.loadFromFile(back);
  EXPECT_EQ(dataset_test::differences(original, converted), "");
  std::filesystem::remove_all(dir);
}

TEST(CdsTool, CsvAndErrors) {
  SKIP_WITHOUT_SAMPLE_FILES();
  const ToolRun csv = run("dump " + fixture("industry.cds") + " --format csv");
  EXPECT_EQ(csv.out.substr(0, 41), "IND_CODE,IND_NAME,LONG_NAME\r\n3579,SoftW,C");
  EXPECT_NE(csv.out.find("3710,Auto,Auto & Truck\r\n"), std::string::npos);

  const ToolRun missing = run("dump /nonexistent.cds");
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.out.find("/nonexistent.cds"), std::string::npos);
  const ToolRun damaged = run("dump " + fixture("README.md"));
  EXPECT_NE(damaged.status, 0);
  EXPECT_NE(damaged.out.find("README.md: line 1"), std::string::npos) << damaged.out;
  EXPECT_NE(run("convert a b --format zip").status, 0);
  EXPECT_NE(run("").status, 0);
}

TEST(Encodings, Base64AndDecimalTexts) {
  EXPECT_EQ(db::base64Encode("Ma"), "TWE=");
  EXPECT_EQ(db::base64Decode("TW E=\n"), std::optional<std::string>("Ma"));
  EXPECT_FALSE(db::base64Decode("TWE").has_value());
  EXPECT_FALSE(db::base64Decode("T=WE").has_value());
  EXPECT_FALSE(db::base64Decode("TW*=").has_value());

  EXPECT_EQ(db::canonicalDecimal("-0012.500"), "-12.5");
  EXPECT_EQ(db::canonicalDecimal("-0.000"), "0");
  EXPECT_EQ(db::canonicalDecimal(".5"), "0.5");
  EXPECT_THROW(db::canonicalDecimal("1e5"), std::invalid_argument);
  EXPECT_THROW(db::canonicalDecimal("-"), std::invalid_argument);
  for (const std::string v : {"0", "-1", "123456789012345678901234567890.1234", "0.001"}) {
    EXPECT_EQ(db::decodeBcd(db::encodeBcd(v).data()), v);
  }
  db::BcdBytes bad = db::encodeBcd("12");
  bad[2] = 0xAF;  // a nibble above 9
  EXPECT_THROW(db::decodeBcd(bad.data()), std::invalid_argument);
}

}  // namespace
