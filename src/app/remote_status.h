#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "db/core/connection.h"

namespace app {

// The remote-execution id of slot 5 as an integer; nothing when the slot is empty. Raises
// std::invalid_argument when the slot holds anything but a decimal integer.
std::optional<int64_t> remoteExecutionId(std::string_view slot);

// The status row CTRLEXECREM of a remotely requested run: 'E' with "ATUALIZA_EXTRUTURA" at the
// start, the operation as the run moves on, "OK" or "NOK" at the end. Does nothing without an id.
// Starting also closes the rows that stopped runs left executing as "NOK".
class RemoteStatus {
 public:
  using LocalConnection = std::function<db::Connection&()>;

  RemoteStatus(std::optional<int64_t> id, LocalConnection local)
      : id_(id), local_(std::move(local)) {}

  bool requested() const { return id_.has_value(); }
  void start();
  void operation(std::string_view tpOperacao);
  void finish(std::string_view status);

 private:
  std::optional<int64_t> id_;
  LocalConnection local_;
};

}  // namespace app
