#include "download/ledger/date_columns.h"

#include <string>

#include "download/identifier.h"
#include "download/ledger/statements.h"

namespace download {
namespace {

// Both placeholders in one pass, so a name that contains the other placeholder stays intact.
std::string fillTemplate(std::string_view text, std::string_view table, std::string_view column) {
  constexpr std::string_view kTable = "TABELA", kColumn = "CAMPO";
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text.substr(i, kTable.size()) == kTable) {
      out += table;
      i += kTable.size();
    } else if (text.substr(i, kColumn.size()) == kColumn) {
      out += column;
      i += kColumn.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace

db::Value DateColumns::columnMax(std::string_view table, std::string_view column) {
  const std::string text = "SELECT MAX(" + std::string(requireIdentifier(column)) +
                           ") AS DTULTATU FROM " + std::string(requireIdentifier(table));
  auto rows = conn_.prepare(text).query();
  if (!rows->next() || rows->at(0).isNull()) return {};
  return rows->at(0).asDateTime();
}

void DateColumns::avancaDataTabela(std::string_view table, std::string_view column,
                                   db::DateTime deleteCacheDate) {
  if (deleteCacheDate > db::DateTime()) advance(table, column, deleteCacheDate);
}

void DateColumns::avancaDataPelaCache(std::string_view cacheTable, std::string_view table,
                                      std::string_view column) {
  const db::DateTime cached = columnMax(cacheTable, "DTULTATUCACH").asDateTime();
  const db::DateTime current = columnMax(table, column).asDateTime();
  if (cached > current) advance(table, column, cached);
}

bool DateColumns::tabelaVazia(std::string_view table) {
  auto rows =
      conn_.prepare("SELECT COUNT(*) AS NRREGS FROM " + std::string(requireIdentifier(table)))
          .query();
  return !rows->next() || (*rows)["NRREGS"].asInt() < 1;
}

void DateColumns::advance(std::string_view table, std::string_view column, db::DateTime date) {
  auto& update = conn_.prepare(
      fillTemplate(sql::kAdvanceDateTemplate, requireIdentifier(table), requireIdentifier(column)));
  update.bind("P_DTULTATU", date);
  update.execute();
}

}  // namespace download
