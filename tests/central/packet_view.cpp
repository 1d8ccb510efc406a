#include "packet_view.h"

#include "db/dataset/dataset.h"

namespace packet_view {
namespace {

db::DataSet load(std::string_view packet) {
  db::DataSet ds;
  ds.setData(packet, "test packet");
  return ds;
}

std::vector<std::string> values(db::DataSet& ds, std::string_view field) {
  std::vector<std::string> out;
  for (ds.first(); !ds.eof(); ds.next()) out.push_back(ds.fieldByName(field).asString());
  return out;
}

}  // namespace

size_t rowCount(std::string_view packet) { return load(packet).recordCount(); }

bool hasField(std::string_view packet, std::string_view field) {
  return load(packet).fieldIndex(field) >= 0;
}

std::vector<std::string> column(std::string_view packet, std::string_view field) {
  auto ds = load(packet);
  return values(ds, field);
}

std::vector<std::string> nestedColumn(std::string_view packet, size_t row, std::string_view nested,
                                      std::string_view field) {
  auto ds = load(packet);
  ds.moveTo(row);
  return values(ds.nested(nested), field);
}

}  // namespace packet_view
