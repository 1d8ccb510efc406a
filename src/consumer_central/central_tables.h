#pragma once

#include <string>
#include <string_view>
#include <vector>

// What each central consumer table and copy trigger is made of.
namespace consumer_central {

// How a central table is created from its local source table.
struct CentralTable {
  std::string_view name;            // in the central database
  std::string_view source;          // the local table its structure and rows come from
  std::string_view localKey;        // the local primary key whose columns become NOT NULL
  std::string_view centralKey;      // the central primary key's name
  std::string_view extraKeyColumn;  // appended to the central key, NOT NULL always; or empty
  std::vector<std::string_view> dateDefaultsDropped;  // SYSDATE defaults left out, not rewritten
  bool indexes;                                       // the local indexes are created too
  const std::string& (*columnsQuery)();               // on the local connection
  const std::string& (*indexesQuery)();               // on the local connection
  std::string_view copySelect;  // what "INSERT INTO <central table> " copies once
};

const CentralTable& moviclie();
const CentralTable& extratoCons();
const CentralTable& saldoCons();
const CentralTable& senhaCons();

// One column of a copy trigger's match test.
struct MatchColumn {
  std::string_view name;
  bool nullsMatch;  // "equal or both null"
};

// A trigger on a local table that copies each inserted row to the central table unless a
// matching row is there.
struct CopyTrigger {
  std::string_view name;
  std::string_view localTable;
  std::string_view centralTable;
  std::vector<MatchColumn> match;
  std::vector<std::string_view> columns;
  std::string_view verifyQuery;    // adqVerifTrigger...: the trigger's sys.triggers row
  std::string_view enableCommand;  // acmEnable...
};

const CopyTrigger& moviclieTrigger();
const CopyTrigger& extratoConsTrigger();
const CopyTrigger& saldoConsTrigger();
const CopyTrigger& senhaConsTrigger();

}  // namespace consumer_central
