#pragma once

#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "load/load_context.h"
#include "outside/package/next_code.h"

namespace load {

// cdsVendaTemp: the local number given to each downloaded sale (branch, register, downloaded
// number -> new number), filled while VENDA is written and read by the item tables after it.
class SaleRenumbering {
 public:
  using Key = std::tuple<std::string, std::string, std::string>;
  void clear() { numbers_.clear(); }
  bool empty() const { return numbers_.empty(); }
  void add(Key key, std::string newNumber) { numbers_[std::move(key)] = std::move(newNumber); }
  // Empty when the sale was not renumbered in this re-import.
  const std::string* find(const Key& key) const {
    const auto it = numbers_.find(key);
    return it == numbers_.end() ? nullptr : &it->second;
  }

 private:
  std::map<Key, std::string> numbers_;
};

// InsereDados: appends every row of a downloaded dataset to a local table through one prepared
// INSERT, with the column rules of the imported movements (flags, new sale and cash-movement
// numbers, sale renumbering) and of empty numbers and dates. A row the database refuses (key or
// constraint) is skipped; any other failure rolls back and raises download::ComponentError
// naming the query written through.
class BulkWriter {
 public:
  BulkWriter(LoadContext& context, outside::KivProxCodigo& nextCode)
      : ctx_(context), nextCode_(nextCode) {}

  void InsereDados(std::string_view datasetName, std::string_view table,
                   std::string_view component = "adqExpPrincipal");

  SaleRenumbering& renumbering() { return renumbering_; }

  // Writes that must commit together with what the caller does around them (a table's delete,
  // the other tables of the register's movements): while one is open, InsereDados leaves its
  // rows uncommitted. The destructor rolls back what was not committed.
  class Together {
   public:
    explicit Together(BulkWriter& writer);
    ~Together();
    Together(const Together&) = delete;
    Together& operator=(const Together&) = delete;
    void commit();

   private:
    BulkWriter& writer_;
    bool done_ = false;
  };

  // The column rules of the writer, for the members that write movement rows one by one.
  enum class Rule;
  struct ColumnPlan {
    std::vector<size_t> fields;
    std::vector<Rule> rules;
  };
  ColumnPlan plan(std::string_view datasetName, const std::vector<std::string>& columns,
                  db::DataSet& rows) const;
  // The value the current row gives column c under the plan.
  db::Value cell(const ColumnPlan& plan, size_t c, db::DataSet& rows);

 private:
  LoadContext& ctx_;
  outside::KivProxCodigo& nextCode_;
  SaleRenumbering renumbering_;
  bool holdCommit_ = false;
};

// The cell rules shared with the statement writers: an empty text is NULL; a zero date is NULL.
db::Value textOrNull(std::string text);
db::Value dateOrNull(const db::Field& field);
// A row the database refuses (key, constraint, conversion), skipped as a cancelled post was.
bool refusedRow(const db::Error& error);

}  // namespace load
