#pragma once

#include <array>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace app {

// The parameter string decoded into ten text slots: 0 mode, 1 branch, 2 register, 3 force flag
// ("ATU") or end of the fiscal period, 4 fiscal, 5 remote-execution id, 6-8 fiscal, 9 unused.
struct RunSlots {
  static constexpr size_t kCount = 10;
  std::array<std::string, kCount> slot;
  bool hidden = false;  // the SYNC form runs without showing the window

  const std::string& mode() const { return slot[0]; }
  const std::string& branch() const { return slot[1]; }
  const std::string& cashRegister() const { return slot[2]; }
  const std::string& force() const { return slot[3]; }
  const std::string& remoteId() const { return slot[5]; }
};

// A plain parameter that cannot be split into at most ten underscore-closed fields. `slots`
// holds what was read before the fault, so that a remote-execution id already read can still be
// told "NOK".
class ParameterError : public std::runtime_error {
 public:
  ParameterError(const std::string& reason, RunSlots slots)
      : std::runtime_error(reason), slots_(std::move(slots)) {}
  const RunSlots& slots() const { return slots_; }

 private:
  RunSlots slots_;
};

// Branch and register of the first record of the parameter file, when the file exists.
struct ParameterFileRecord {
  std::string branch;
  std::string cashRegister;
};
using ParameterFileReader = std::function<std::optional<ParameterFileRecord>()>;

// Plain form "MODE_BRANCH_REGISTER_..." (every field closed by "_"), SYNC form
// "SYNC_id_branch_register_", or blank (the parameter file, when present, names branch and
// register for a TABELAS run). Raises ParameterError for a plain form with an unclosed last
// field or more than ten fields.
RunSlots CarregaParametros(std::string_view argument, const ParameterFileReader& readParameterFile);

}  // namespace app
