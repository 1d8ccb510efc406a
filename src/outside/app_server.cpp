#include "outside/app_server.h"

namespace outside {

db::Value AppServer::call(std::string_view method, std::vector<db::Value>& args, PacketSink& sink) {
  db::Value result = call(method, args);
  if (result.kind() != db::Value::Kind::Array) return result;
  db::ValueArray& positions = result.getArray();
  for (size_t position = 0; position < positions.size(); ++position) {
    db::Value& value = positions[position];
    if (value.kind() != db::Value::Kind::Bytes || !sink.begin(position)) continue;
    const db::Bytes& bytes = value.getBytes();
    sink.append({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    sink.end();
    value = db::Value(db::Bytes());
  }
  return result;
}

}  // namespace outside
