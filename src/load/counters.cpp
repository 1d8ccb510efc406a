#include "load/counters.h"

#include <charconv>
#include <optional>

#include "db/core/text.h"
#include "load/load_sql.h"

namespace load {

namespace {

constexpr std::string_view kCounters = "cdsNovoCodNFCe";

std::optional<long long> wholeNumber(std::string_view text) {
  text = db::trim(text);
  long long number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

}  // namespace

bool counterBelow(std::string_view a, std::string_view b) {
  const auto x = wholeNumber(a);
  const auto y = wholeNumber(b);
  if (x && y) return *x < *y;
  return a < b;
}

void applyCounters(LoadContext& context, BulkWriter& writer) {
  if (db::DataSet* counters = context.rowsOf(kCounters)) {
    db::Field code = counters->fieldByName("CDCONTADOR");
    db::Field number = counters->fieldByName("NRSEQUENCIAL");
    db::Statement& local = context.conn.prepare(sql::kSelNovoCodigo);
    counters->first();
    while (!counters->eof()) {
      const std::string k = code.asString();
      const std::string n = number.asString();
      local.bind("P_CDCONTADOR", db::Value(k));
      auto found = local.query();
      if (!found->next()) {
        counters->next();  // inserted below
        continue;
      }
      const std::string current = found->at(0).asText();
      found.reset();
      if (counterBelow(current, n)) {
        context.conn.execute(sql::kUpdNovoCodigo,
                             {{"P_NRSEQUENCIAL", db::Value(n)}, {"P_CDCONTADOR", db::Value(k)}});
      }
      counters->deleteRecord();
    }
  }
  writer.InsereDados(kCounters, "NOVOCODIGO");
}

}  // namespace load
