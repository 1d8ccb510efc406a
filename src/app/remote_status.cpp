#include "app/remote_status.h"

#include <charconv>
#include <stdexcept>

#include "app/controller_sql.h"
#include "db/core/text.h"

namespace app {

std::optional<int64_t> remoteExecutionId(std::string_view slot) {
  if (slot.empty()) return std::nullopt;
  const std::string_view digits = db::trim(slot);
  int64_t id = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
    throw std::invalid_argument("the remote-execution id is not an integer: \"" +
                                std::string(slot) + "\"");
  return id;
}

void RemoteStatus::start() {
  if (!id_) return;
  local_().execute(sql::kStoppedRunsFailed);
  local_().execute(sql::kIniVerifTab, {{"IDCTRLEXECREM", *id_}});
}

void RemoteStatus::operation(std::string_view tpOperacao) {
  if (!id_) return;
  local_().execute(sql::kUpdStatusTab, {{"TPOPERACAO", tpOperacao}, {"IDCTRLEXECREM", *id_}});
}

void RemoteStatus::finish(std::string_view status) {
  if (!id_) return;
  local_().execute(sql::kUpdVerifTab, {{"IDSTCTRLEXECREM", status}, {"IDCTRLEXECREM", *id_}});
}

}  // namespace app
