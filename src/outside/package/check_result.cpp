#include "outside/package/check_result.h"

#include "outside/app_server.h"

namespace outside {

void CheckResultServ(const db::Value& result, db::DataSet& target, std::string_view method) {
  const std::string source = "result of " + std::string(method);
  switch (result.kind()) {
    case db::Value::Kind::Bytes:
      target.setData(result.getBytes(), source);
      return;
    case db::Value::Kind::Text:
      if (db::looksLikeBinaryPacket(result.getText()) ||
          result.getText().find("<DATAPACKET") != std::string::npos) {
        target.setData(std::string_view(result.getText()), source);
        return;
      }
      throw ServerError(std::string(method) + ": " + result.getText());
    default:
      throw ServerError(std::string(method) + " returned " +
                        std::string(db::kindName(result.kind())) + " instead of a data packet");
  }
}

void Seta_Campo_Null(db::DataSet& dataSet) {
  for (size_t i = 0; i < dataSet.fieldCount(); ++i) {
    db::Field field = dataSet.field(i);
    if (field.type() == db::FieldType::Nested || field.isNull()) continue;
    const db::Value value = field.value();
    if (value.kind() == db::Value::Kind::Text && value.getText().empty()) field.clear();
  }
}

}  // namespace outside
