// getTabelas, the one download request of a register, and getTabelaCons, its paged companion.
#include <charconv>
#include <set>

#include "central/model/model.h"
#include "central/server/lazy_elements.h"
#include "central/server/method_table.h"
#include "central/server/packet_builder.h"
#include "central/server/packet_fields.h"
#include "central/server/query_packets.h"
#include "central/server/table_query.h"
#include "central/server/whole_tables.h"
#include "db/core/text.h"

namespace central::server {
namespace {

// Argument positions of getTabelas.
enum TabelasArg {
  kBranch = 0,
  kRegister = 1,
  kControlDates = 3,
  kBaseDates = 4,
  kExtractWithoutControl = 5,
  kMode = 9,
  kOpenShifts = 10,
  kIndicators = 13,
};

constexpr int kConsumerPosition = 28;
constexpr int kExtractPosition = 42;
constexpr int kBenefitPosition = 182;
constexpr int kShiftDays = 30;

constexpr const char* kConsumerCountField = "QTDCONSUMIDOR";
constexpr const char* kBenefitCountField = "QTDMOVBENEFICIOCTR";
constexpr const char* kShiftDateColumn = "DTABERCAIX";
constexpr const char* kNothingToRestore = "OK";

// The positions a mode hands over; other modes take them all.
const std::set<int>& positionsOfMode(const std::string& mode) {
  static const std::set<int> all;
  static const std::set<int> extract{28, 42, 49, 62, 117, 133};
  static const std::set<int> stock{144};
  if (db::iequals(mode, "EXTRATOCONS")) return extract;
  if (db::iequals(mode, "ESTOQUE")) return stock;
  return all;
}

const db::ValueArray& arrayArg(const std::vector<db::Value>& args, size_t index, size_t maxSize,
                               const char* what) {
  static const db::ValueArray empty;
  const db::Value& v = args[index];
  if (v.isNull()) return empty;
  if (v.kind() != db::Value::Kind::Array)
    throw BadRequest(std::string("getTabelas: ") + what + " must be an array");
  if (v.getArray().size() > maxSize)
    throw BadRequest(std::string("getTabelas: ") + what + " holds more than " +
                     std::to_string(maxSize) + " elements");
  return v.getArray();
}

db::Value element(const db::ValueArray& array, size_t index) {
  return index < array.size() ? array[index] : db::Value();
}

bool isYes(const db::Value& v) {
  return v.kind() == db::Value::Kind::Text && db::iequals(v.getText(), "S");
}

std::optional<int> slotOf(const central::Model& model, const std::string& table) {
  for (const auto& slot : model.requestSlots())
    if (db::iequals(slot.table, table)) return slot.slot;
  return std::nullopt;
}

std::string emptyPacket(const central::Table& table) {
  std::vector<db::FieldDef> fields;
  for (const auto& c : table.columns) fields.push_back(fieldFor(c));
  return rowsPacket(fields, {});
}

// A first-load count: one row with the number of rows the register will fetch in pieces.
std::string countPacket(db::Connection& db, const central::Table& table, const RowFilter& filter,
                        const char* field) {
  int64_t count = queryCount(db, countRows(table, filter));
  std::vector<std::vector<db::Value>> rows;
  if (count > 0) rows.push_back({count});
  return rowsPacket({db::makeField(field, db::FieldType::Int32)}, rows);
}

// Shifts the register reported as held locally (argument 11): their opening times.
std::vector<db::DateTime> reportedShifts(const db::Value& packet) {
  std::vector<db::DateTime> shifts;
  if (packet.kind() != db::Value::Kind::Bytes || packet.getBytes().empty()) return shifts;
  try {
    for (const auto& v : fieldValues(packet.getBytes(), kShiftDateColumn, "getTabelas argument 11"))
      if (!v.isNull()) shifts.push_back(v.asDateTime());
  } catch (const db::Error& e) {
    throw BadRequest(std::string("getTabelas: ") + e.what());
  }
  return shifts;
}

struct SalesRestore {
  RowFilter filter;  // the register's recent shifts that it does not hold
  bool anything = false;
};

SalesRestore salesToRestore(db::Connection& db, const central::Model& model, const Call& call) {
  SalesRestore restore;
  restore.filter.branch = call.args[kBranch].getText();
  restore.filter.registerCode = call.args[kRegister].getText();
  std::string condition = std::string(kShiftDateColumn) + " > :P_DTLIMITE";
  restore.filter.extraParams.push_back({"P_DTLIMITE", db::DateTime::now().addDays(-kShiftDays)});
  auto held = reportedShifts(call.args[kOpenShifts]);
  for (size_t i = 0; i < held.size(); ++i) {
    std::string name = "P_DTTURNO" + std::to_string(i);
    condition += " AND " + std::string(kShiftDateColumn) + " <> :" + name;
    restore.filter.extraParams.push_back({name, held[i]});
  }
  restore.filter.extraCondition = condition;
  const central::Table& shifts = model.table("TURCAIXA");
  restore.anything = queryCount(db, countRows(shifts, restore.filter)) > 0;
  return restore;
}

// What a getTabelas request asks for, read once from its arguments.
struct TabelasRequest {
  const central::Model& model;
  const db::ValueArray& controlDates;
  const db::ValueArray& baseDates;
  std::string branch;
  const std::set<int>& wanted;
  bool wholeConsumerBase;
  bool benefitsFirstLoad;
  bool extractByFile;
  // The elements are read while the reply streams, on the request's connection and snapshot.
  db::Connection* centralDb;
  std::shared_ptr<SalesRestore> restore;
};

// The rows a table position sends: the branch's, changed since the slot's request date.
RowFilter positionFilter(const TabelasRequest& r, const central::Position& position,
                         const central::Table& table) {
  RowFilter filter;
  filter.branch = r.branch;
  if (position.kind == central::PositionKind::DeleteCache) {
    // An empty local table needs no deletions: its control date (kind 1) then lies ahead.
    const std::string& base = table.deleteCacheOf ? table.deleteCacheOf->table : table.name;
    if (auto slot = slotOf(r.model, base)) {
      filter.since = requestDate(element(r.controlDates, *slot));
      if (!filter.since) filter.since = requestDate(element(r.baseDates, *slot));
    }
  } else if (auto slot = slotOf(r.model, table.name); slot && !travelsWhole(table.name)) {
    filter.since = requestDate(element(r.baseDates, *slot));
  }
  return filter;
}

// One position of the reply, built when the reply streams.
LazyElement elementFor(const TabelasRequest& r, const central::Position& position,
                       QueryPackets& queries) {
  if (position.kind == central::PositionKind::Unused) return valueElement(db::Value());
  if (position.kind == central::PositionKind::SalesReturnText)
    return valueElement(db::Value(r.restore->anything ? "" : kNothingToRestore));
  const central::Table* table = &r.model.table(position.table);
  const int index = position.index;
  const bool handedOver = r.wanted.empty() || r.wanted.count(index) > 0;
  if (!handedOver) return packetElement([table] { return emptyPacket(*table); });
  if (position.kind == central::PositionKind::Sales) {
    return packetElement([centralDb = r.centralDb, table, restore = r.restore] {
      if (!restore->anything || !table->hasColumn(kShiftDateColumn)) return emptyPacket(*table);
      TableQuery q = selectRows(*table, restore->filter);
      return queryPacket(*centralDb, q.fields, q.sql, q.params);
    });
  }
  RowFilter filter = positionFilter(r, position, *table);
  if ((index == kConsumerPosition && r.wholeConsumerBase) ||
      (index == kBenefitPosition && r.benefitsFirstLoad)) {
    const char* countField = index == kConsumerPosition ? kConsumerCountField : kBenefitCountField;
    return packetElement(
        [centralDb = r.centralDb, table, whole = branchRows(r.branch), countField] {
          return countPacket(*centralDb, *table, whole, countField);
        });
  }
  if (index == kExtractPosition && r.extractByFile)
    return packetElement([table] { return emptyPacket(*table); });
  return [centralDb = r.centralDb, packet = queries.of(selectRows(*table, filter))](
             std::string& json) { packet->take(*centralDb, json); };
}

MethodResult getTabelas(Call& call) {
  const central::Model& model = central::centralModel();
  const auto& indicators = arrayArg(call.args, kIndicators, 9, "vIndicadores");
  const db::Value& extractWithoutControl = call.args[kExtractWithoutControl];
  const TabelasRequest request{
      model,
      arrayArg(call.args, kControlDates, central::Model::kSlotCount, "vDatasControle"),
      arrayArg(call.args, kBaseDates, central::Model::kSlotCount, "vDatasBase"),
      call.args[kBranch].getText(),
      positionsOfMode(call.args[kMode].getText()),
      isYes(element(indicators, 0)),
      isYes(element(indicators, 1)),
      extractWithoutControl.kind() == db::Value::Kind::Bool && extractWithoutControl.getBool(),
      &call.db,
      std::make_shared<SalesRestore>(salesToRestore(call.db, model, call))};
  std::vector<LazyElement> elements;
  QueryPackets queries;
  for (const central::Position& position : model.positions())
    elements.push_back(elementFor(request, position, queries));
  return MethodResult::lazyArray(std::move(elements));
}

size_t rowNumber(const std::string& text, const char* what) {
  size_t n = 0;
  auto trimmed = db::trim(text);
  auto [p, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), n);
  if (trimmed.empty() || ec != std::errc() || p != trimmed.data() + trimmed.size())
    throw BadRequest(std::string("getTabelaCons: ") + what + " \"" + text +
                     "\" is not a row number");
  return n;
}

// Rows `from` to `to` (from 1; 0 counts as 1) of one table for the branch, in key order.
MethodResult getTabelaCons(Call& call) {
  const central::Model& model = central::centralModel();
  const std::string tableName = call.args[3].getText();
  const central::Table* table = model.findTable(tableName);
  if (!table || table->kind != central::TableKind::Data)
    throw BadRequest("getTabelaCons: unknown table \"" + tableName + "\"");
  size_t from = std::max<size_t>(1, rowNumber(call.args[1].getText(), "first row"));
  size_t to = rowNumber(call.args[2].getText(), "last row");
  TableQuery q = selectRows(*table, branchRows(call.args[0].getText()));
  if (to < from) return packetValue(rowsPacket(q.fields, {}));
  return packetValue(queryPacket(call.db, q.fields, q.sql, q.params, from, to));
}

}  // namespace

void registerTableMethods(MethodTable& table) {
  using A = ArgKind;
  table.add(kExportObject, {"getTabelas",
                            {A::Text, A::Text, A::Text, A::Any, A::Any, A::Bool, A::Bool, A::Text,
                             A::Text, A::Text, A::Any, A::Any, A::Any, A::Any},
                            getTabelas});
  table.add(kExportObject, {"getTabelaCons", {A::Text, A::Text, A::Text, A::Text}, getTabelaCons});
}

}  // namespace central::server
