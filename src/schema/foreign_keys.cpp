#include "schema/foreign_keys.h"

#include <string>

namespace schema {
namespace {

constexpr std::string_view kBannerTitle = " INÍCIO DA APLICAÇÃO DAS CONSTRAINTS NA TABELA ";
constexpr size_t kBannerRule = 126;

void logBanner(const ForeignKeyBanner& banner, const LogLine& log) {
  log("", "3");
  log(std::string(banner.starsBefore, '*') + std::string(kBannerTitle) + std::string(banner.table) +
          " " + std::string(banner.starsAfter, '*'),
      "3");
  log(std::string(kBannerRule, '*'), "3");
}

}  // namespace

bool applyForeignKeys(db::Connection& local, std::string_view usedDatabase, const LogLine& log) {
  if (usedDatabase != "MSSQL") return true;
  bool allApplied = true;
  for (const ForeignKeyStatement& statement : foreignKeyStatements()) {
    if (!statement.banner.table.empty()) logBanner(statement.banner, log);
    try {
      local.execute(statement.text);
      if (!statement.successLine.empty()) log(statement.successLine, "1");
    } catch (const std::exception& e) {
      // A key or index that exists already fails here on every run after the first: that is
      // the steady state, logged where the statement has an error line and otherwise ignored.
      if (!statement.errorPrefix.empty()) log(std::string(statement.errorPrefix) + e.what(), "1");
      if (statement.failureCounts) allApplied = false;
    }
  }
  return allApplied;
}

}  // namespace schema
