#include "central/server/fiscal_file.h"

#include <array>
#include <stdexcept>

#include "central/server/packet_builder.h"
#include "central/server/service.h"

namespace central::server {
namespace {

constexpr const char* kSelectBranch = "SELECT 1 FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL";
constexpr const char* kSelectSalesOfPeriod =
    "SELECT CDCAIXA, NRSEQVENDA, DTVENDA, VRTOTVENDA FROM VENDA "
    "WHERE CDFILIAL = :P_CDFILIAL AND DTVENDA >= :P_DTINICIO AND DTVENDA < :P_DTFIM "
    "ORDER BY DTVENDA, CDCAIXA, NRSEQVENDA";

// How one mode writes its header, one line per sale of the period and its trailer (with the
// file's line count).
struct FiscalLayout {
  std::string_view mode;
  std::string_view header, sale, trailer;  // record tags
  char separator;
  bool enclosed;  // every line begins and ends with the separator
  std::string_view datePattern;
};

constexpr std::array<FiscalLayout, 3> kLayouts{{
    {"SINTEGRA", "10", "50", "90", '|', false, "yyyymmdd"},
    {"SPED", "0000", "C400", "9999", '|', true, "ddmmyyyy"},
    {"DIGITAL", "H", "D", "T", ';', false, "yyyy-mm-dd"},
}};

const FiscalLayout& layoutOf(const std::string& mode) {
  for (const auto& layout : kLayouts)
    if (layout.mode == mode) return layout;
  throw BadRequest("getSintegraQir: unknown fiscal file mode \"" + mode + "\"");
}

std::string line(const FiscalLayout& layout, std::string_view tag,
                 const std::vector<std::string>& fields) {
  const std::string separator(1, layout.separator);
  std::string text = layout.enclosed ? separator : std::string();
  text += tag;
  for (const auto& field : fields) text += separator + field;
  return layout.enclosed ? text + separator : text;
}

MethodResult linesPacket(const std::vector<std::vector<db::Value>>& lines) {
  return packetValue(rowsPacket({db::makeField("NRORDREGARQ", db::FieldType::Int32, 0, true),
                                 db::makeField("DSREGARQMAG", db::FieldType::String, 255)},
                                lines));
}

}  // namespace

MethodResult getSintegraQir(Call& call) {
  const std::string& mode = call.args[0].getText();
  const FiscalLayout& layout = layoutOf(mode);
  const std::string& branch = call.args[1].getText();
  const db::DateTime start = call.args[2].asDateTime().date();
  const db::DateTime end = call.args[3].asDateTime().date();
  std::vector<std::vector<db::Value>> lines;
  auto add = [&lines](std::string text) {
    lines.push_back({static_cast<int64_t>(lines.size() + 1), std::move(text)});
  };
  db::Statement& known = call.db.prepare(kSelectBranch);
  known.bind("P_CDFILIAL", branch);
  // A branch the central side does not know has no fiscal file: the answer has no lines.
  if (!known.query()->next()) return linesPacket(lines);
  add(line(layout, layout.header,
           {mode, branch, start.format(layout.datePattern), end.format(layout.datePattern),
            call.args[4].getText(), call.args[5].getText()}));
  db::Statement& sales = call.db.prepare(kSelectSalesOfPeriod);
  sales.bind({{"P_CDFILIAL", branch}, {"P_DTINICIO", start}, {"P_DTFIM", end.addDays(1)}});
  auto rows = sales.query();
  while (rows->next())
    add(line(layout, layout.sale,
             {rows->at(0).asText(), rows->at(1).asText(),
              rows->at(2).asDateTime().format(layout.datePattern), rows->at(3).asText()}));
  add(line(layout, layout.trailer, {std::to_string(lines.size() + 1)}));
  return linesPacket(lines);
}

}  // namespace central::server
