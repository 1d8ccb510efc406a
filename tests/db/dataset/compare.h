#pragma once

#include <string>

#include "db/dataset/dataset.h"

namespace dataset_test {

struct CompareOptions {
  bool floatsTo15Digits = false;      // XML packets of other writers keep 15 significant digits
  bool namesAsXmlAttributes = false;  // XML packets without fieldname lose non-name characters
};

// Empty when both datasets hold the same fields and rows (nested rows included); otherwise a
// description of the first difference.
std::string differences(db::DataSet& a, db::DataSet& b, CompareOptions options = {});

// The sample files' folder: KIVTAB_FIXTURES from the environment, else ../shared/fixtures beside
// the source tree. Their licence keeps them out of the repository, so a plain clone has none.
std::string sampleFilesDirectory();
bool sampleFilesPresent();
std::string fixture(const std::string& name);
std::string readFile(const std::string& path);

}  // namespace dataset_test

// Skips the running test, naming the folder looked in, when the sample files are absent.
#define SKIP_WITHOUT_SAMPLE_FILES()        \
  if (!dataset_test::sampleFilesPresent()) \
  GTEST_SKIP() << "sample files not found in " << dataset_test::sampleFilesDirectory()
