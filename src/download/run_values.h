#pragma once

#include <string>

namespace download {

// The values the run controller hands to the download.
struct RunValues {
  std::string branch;
  std::string cashRegister;
  std::string mode;
  std::string idSenConsCentral;
  std::string nmSqlNameDb;
  std::string nmSqlSchemaDb;
};

}  // namespace download
