#include "load/held_movements.h"

#include <cmath>

#include "db/core/text.h"
#include "load/load_sql.h"

namespace load {

namespace {

constexpr double kValueTolerance = 0.0005;
constexpr int64_t kMsPerSecond = 1000;

// The client's rows under the key the column's collation gives them.
std::string clientKey(std::string_view client) { return db::upper(client); }

std::optional<std::string> textOf(const db::Value& value) {
  if (value.isNull()) return std::nullopt;
  return value.asText();
}

std::optional<int64_t> msOf(const db::Value& value) {
  if (value.isNull()) return std::nullopt;
  return value.asDateTime().msSinceZero();
}

// Within the downloaded value's second, counted from its start as the register shows it.
bool sameSecond(const std::optional<int64_t>& localMs, const db::DateTime& downloaded) {
  const int64_t ms = downloaded.msSinceZero();
  const int64_t second = ms - ms % kMsPerSecond;
  return localMs && *localMs >= second && *localMs < second + kMsPerSecond;
}

bool sameText(const std::optional<std::string>& local, std::string_view downloaded) {
  return local && db::iequals(*local, downloaded);
}

}  // namespace

HeldMovements::HeldMovements(db::Connection& conn)
    : select_(conn.prepare(sql::kSelMoviClie)), selectOne_(conn.prepare(sql::kSelMoviClieNumero)) {}

void HeldMovements::readInto(db::Statement& select, std::vector<Local>& movements) {
  auto rows = select.query();
  while (rows->next()) {
    movements.push_back(
        {textOf(rows->at(0)), msOf(rows->at(1)), textOf(rows->at(2)),
         rows->at(3).isNull() ? std::nullopt : std::optional<double>(rows->at(3).asDouble()),
         msOf(rows->at(4))});
  }
}

std::vector<HeldMovements::Local>& HeldMovements::movementsOf(std::string_view client) {
  const std::string key = clientKey(client);
  if (const auto found = byClient_.find(key); found != byClient_.end()) return found->second;
  std::vector<Local> movements;
  select_.bind(0, db::Value(client));
  readInto(select_, movements);
  return byClient_.emplace(key, std::move(movements)).first->second;
}

bool HeldMovements::held(const MovementKey& movement, std::string_view type) {
  if (!movement.moved) return false;
  for (const Local& local : movementsOf(movement.client)) {
    const bool consumer = movement.consumer ? sameText(local.consumer, *movement.consumer)
                                            : !local.consumer.has_value();
    const bool opened = movement.opened ? sameSecond(local.openedMs, *movement.opened)
                                        : !local.openedMs.has_value();
    if (consumer && opened && sameSecond(local.movedMs, *movement.moved) &&
        sameText(local.type, type) && local.value &&
        std::fabs(*local.value - movement.value) < kValueTolerance)
      return true;
  }
  return false;
}

void HeldMovements::inserted(std::string_view client, std::string_view number) {
  const auto found = byClient_.find(clientKey(client));
  // A client not read yet is read whole when first asked for, this movement with the others.
  if (found == byClient_.end()) return;
  selectOne_.bind(0, db::Value(client));
  selectOne_.bind(1, db::Value(number));
  readInto(selectOne_, found->second);
}

}  // namespace load
