#include "load/movement_reimport.h"

#include "load/table_sequence.h"

namespace load {

namespace {

struct MovementTable {
  size_t position;
  std::string_view dataset;
  std::string_view table;
};

// VENDA comes before its item tables: they look up the new numbers its write gives out.
constexpr MovementTable kMovements[] = {
    {0, "cdsTurcaixa", "TURCAIXA"},     {1, "cdsVenda", "VENDA"},
    {2, "cdsItemVenda", "ITEMVENDA"},   {3, "cdsItVendaImpos", "ITVENDAIMPOS"},
    {4, "cdsItVendaCan", "ITVENDACAN"}, {5, "cdsMovCaixa", "MOVCAIXA"},
    {7, "cdsReducaoZ", "REDUCAOZ"}};
constexpr size_t kStatementPosition = 6;

}  // namespace

void loadPacket(const db::Value& packet, db::DataSet& target, std::string_view source) {
  target.close();
  if (packet.kind() == db::Value::Kind::Bytes && !packet.getBytes().empty()) {
    target.setData(packet.getBytes(), source);
  } else if (packet.kind() == db::Value::Kind::Text && !packet.getText().empty()) {
    target.setData(packet.getText(), source);
  }
}

void reimportMovements(LoadContext& context, BulkWriter& writer,
                       const std::vector<db::Value>& salesVector) {
  writer.renumbering().clear();
  const auto packet = [&](size_t position) {
    return position < salesVector.size() ? salesVector[position] : db::Value();
  };
  db::DataSet& shifts = context.state.dataset(kMovements[0].dataset);
  loadPacket(packet(0), shifts, kMovements[0].table);
  if (shifts.active() && !shifts.isEmpty()) {
    for (const auto& movement : kMovements) {
      if (movement.position != 0)
        loadPacket(packet(movement.position), context.state.dataset(movement.dataset),
                   movement.table);
    }
    // One commit for the shifts and their sales: with the shifts alone the next request would
    // tell the central side that the sales are here.
    BulkWriter::Together together(writer);
    for (const auto& movement : kMovements) {
      writer.InsereDados(movement.dataset, movement.table);
      context.log("InsereDados " + std::string(movement.table), "3");
    }
    together.commit();
  }
  loadPacket(packet(kStatementPosition), context.state.dataset("cdsVExtratoCons"), "EXTRATOCONS");
  context.log(tableBanner("EXTRATOCONS"), "2");
  StatementMerge(context, writer).mergeReimported();
  writer.renumbering().clear();
}

}  // namespace load
