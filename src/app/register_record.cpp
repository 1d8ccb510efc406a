#include "app/register_record.h"

#include "db/dataset/dataset.h"
#include "outside/package/check_result.h"

namespace app {

std::optional<RegisterRecord> readRegisterRecord(const db::Value& result) {
  db::DataSet cdsCxServidor("cdsCxServidor");
  outside::CheckResultServ(result, cdsCxServidor, "getCxServidor");
  if (cdsCxServidor.isEmpty()) return std::nullopt;
  cdsCxServidor.first();
  return RegisterRecord{cdsCxServidor.fieldByName("IPSERVPRI").asString(),
                        cdsCxServidor.fieldByName("IDAUTOIMPTAB").asString()};
}

}  // namespace app
