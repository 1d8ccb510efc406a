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

std::string fixture(const std::string& name);
std::string readFile(const std::string& path);

}  // namespace dataset_test
