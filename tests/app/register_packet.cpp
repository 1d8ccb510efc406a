#include "register_packet.h"

#include "db/dataset/dataset.h"

namespace testing_support {

db::Bytes registerPacket(const std::string& ipServPri, const std::string& idAutoImpTab,
                         bool withRow) {
  db::DataSet ds("cdsCxServidor");
  db::FieldDef ip;
  ip.name = "IPSERVPRI";
  ip.size = 15;
  db::FieldDef id;
  id.name = "IDAUTOIMPTAB";
  id.size = 1;
  ds.createDataSet({ip, id});
  if (withRow) ds.appendRecord({db::Value(ipServPri), db::Value(idAutoImpTab)});
  return ds.data();
}

}  // namespace testing_support
