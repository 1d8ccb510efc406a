#include "download/ledger/update_ledger.h"

#include <exception>
#include <optional>

#include "db/core/text.h"
#include "download/anticipation/hierarchies.h"
#include "download/component_error.h"
#include "download/identifier.h"
#include "download/ledger/statements.h"
#include "download/transaction.h"

namespace download {
namespace {

std::optional<size_t> fieldIndex(const ReceivedRows& received, std::string_view name) {
  for (size_t i = 0; i < received.fields.size(); ++i)
    if (db::iequals(received.fields[i], name)) return i;
  return std::nullopt;
}

const db::Value& fieldOf(const ReceivedRows& received, const std::vector<db::Value>& row,
                         std::string_view name) {
  const auto index = fieldIndex(received, name);
  if (!index || *index >= row.size())
    throw std::invalid_argument("the received ledger rows lack the field " + std::string(name));
  return row[*index];
}

}  // namespace

db::Value UpdateLedger::dataCtrlAtualTab(std::string_view nmTabela, std::string_view dsChave) {
  auto& select = conn_.prepare(sql::kDataCtrlAtualTab);
  select.bind("P_NMTABELA", nmTabela);
  select.bind("P_DSCHAVE", dsChave.empty() ? db::Value() : db::Value(dsChave));
  auto rows = select.query();
  return rows->next() ? rows->at(0) : db::Value();
}

void UpdateLedger::gravaCtrlAtualTab(std::string_view nmTabela, std::string_view group,
                                     const ReceivedRows& received) {
  if (received.empty()) return;
  const auto hierarchy = hierarchyOf(group);
  try {
    inTransaction(conn_, [&] {
      db::DateTime newest;
      for (const auto& row : received.rows) {
        const db::Value& date = fieldOf(received, row, "DTULTATU");
        if (!date.isNull() && date.asDateTime() > newest) newest = date.asDateTime();
        mergeRow(received, row);
        for (const auto& level : hierarchy)
          if (db::iequals(level.table, nmTabela)) atualizaDataFilha(level.level, group, newest);
      }
    });
  } catch (const std::exception& e) {
    throw ComponentError(std::string(kComponent), e.what());
  }
}

// Every local column that the server also sent is copied, so central columns added later
// travel without a change here.
void UpdateLedger::mergeRow(const ReceivedRows& received, const std::vector<db::Value>& row) {
  const db::Value nmTabela = fieldOf(received, row, "NMTABELA");
  const db::Value dsChave = fieldOf(received, row, "DSCHAVE");
  auto& select = conn_.prepare(sql::kSelCtrlAtualTab);
  select.bind({{"P_NMTABELA", nmTabela}, {"P_DSCHAVE", dsChave}});
  auto rows = select.query();
  const bool exists = rows->next();
  std::vector<std::string> columns;
  db::Params values;
  for (const auto& column : rows->columns()) {
    const auto index = fieldIndex(received, column.name);
    if (!index || *index >= row.size()) continue;
    columns.emplace_back(requireIdentifier(column.name));
    values.push_back({"P_" + column.name, row[*index]});
  }
  rows.reset();
  if (columns.empty()) return;

  std::string text;
  if (exists) {
    text = "UPDATE CTRLATUALTAB SET ";
    for (size_t i = 0; i < columns.size(); ++i)
      text += (i ? ", " : "") + columns[i] + " = :P_" + columns[i];
    text += " WHERE NMTABELA = :K_NMTABELA AND DSCHAVE = :K_DSCHAVE";
    values.push_back({"K_NMTABELA", nmTabela});
    values.push_back({"K_DSCHAVE", dsChave});
  } else {
    std::string names, markers;
    for (size_t i = 0; i < columns.size(); ++i) {
      names += (i ? ", " : "") + columns[i];
      markers += (i ? ", :P_" : ":P_") + columns[i];
    }
    text = "INSERT INTO CTRLATUALTAB (" + names + ") VALUES (" + markers + ")";
  }
  auto& write = conn_.prepare(text);
  write.bind(values);
  write.execute();
}

void UpdateLedger::atualizaDataFilha(int level, std::string_view group, db::DateTime date) {
  try {
    std::string_view children;
    for (const auto& l : hierarchyOf(group))
      if (l.level == level) children = l.children;
    if (children.empty()) return;

    std::string existing(sql::kExistingTablesTemplate);
    existing.replace(existing.find("%S"), 2, quotedIdentifierList(children));
    std::vector<std::string> found;
    for (auto rows = conn_.query(existing); rows->next();)
      found.push_back((*rows)["NMTABELA"].asText());

    for (const auto& child : found) {
      auto& select = conn_.prepare(sql::kSelHierarchyRow);
      select.bind("P_NMTABELA", child);
      const bool exists = select.query()->next();
      auto& write = conn_.prepare(exists ? sql::kUpdHierarchyTable : sql::kInsHierarchyRow);
      write.bind("P_NMTABELA", child);
      write.bind("P_DTULTATU", date);
      if (!exists) write.bind("P_DSCHAVE", sql::kHierarchyKey);
      write.execute();
    }
  } catch (const std::exception& e) {
    s_.info("Exceção método atualizaDataFilha: " + std::string(e.what()));
  }
}

void UpdateLedger::limpaDatasAntigas() {
  s_.info("Realizando limpeza da tabela de antecipação de dados...");
  try {
    std::vector<std::pair<db::Value, db::Value>> newest;
    for (auto rows = conn_.prepare(sql::kSelLatestPerTable).query(); rows->next();)
      newest.emplace_back((*rows)["NMTABELA"], (*rows)["DTULTATU"]);
    if (newest.empty()) return;
    inTransaction(conn_, [&] {
      auto& del = conn_.prepare(sql::kDelOlderThan);
      for (const auto& [table, date] : newest) {
        del.bind({{"P_NMTABELA", table},
                  {"P_DTULTATU", date.isNull() ? date : db::Value(date.asDateTime())}});
        del.execute();
        s_.info("Limpeza da tabela " + table.asText() + " realizada.");
      }
    });
    s_.info("Limpeza realizada com sucesso!");
  } catch (const std::exception& e) {
    s_.info("Exceção na limpeza de datas antigas! Exceção: " + std::string(e.what()));
  }
}

}  // namespace download
