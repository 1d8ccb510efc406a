#include "app/run_slots.h"

#include "outside/package/consiste.h"

namespace app {
namespace {

constexpr std::string_view kSyncPrefix = "SYNC";

RunSlots splitPlain(std::string_view rest) {
  RunSlots slots;
  size_t next = 0;
  while (!outside::EmptyString(rest)) {
    const size_t underscore = rest.find('_');
    if (underscore == std::string_view::npos)
      throw ParameterError("o último campo não termina com \"_\": \"" + std::string(rest) + "\"",
                           slots);
    if (next == RunSlots::kCount) throw ParameterError("mais de dez campos", slots);
    slots.slot[next++] = std::string(rest.substr(0, underscore));
    rest.remove_prefix(underscore + 1);
  }
  return slots;
}

// Takes the next underscore-closed field; a field without its closing "_" is lost, as are the
// ones after it.
std::optional<std::string> takeField(std::string_view& rest) {
  const size_t underscore = rest.find('_');
  if (underscore == std::string_view::npos) {
    rest = {};
    return std::nullopt;
  }
  std::string field(rest.substr(0, underscore));
  rest.remove_prefix(underscore + 1);
  return field;
}

void applySync(std::string_view text, RunSlots& slots) {
  slots.slot[0] = "TABELAS";
  slots.hidden = true;
  takeField(text);  // "SYNC" itself
  // Each of the three is overwritten, so a field lost to a missing "_" leaves its slot empty
  // even when the parameter file had filled it.
  for (const size_t target : {size_t{5}, size_t{1}, size_t{2}})
    slots.slot[target] = takeField(text).value_or("");
}

}  // namespace

RunSlots CarregaParametros(std::string_view argument,
                           const ParameterFileReader& readParameterFile) {
  const bool sync = argument.substr(0, kSyncPrefix.size()) == kSyncPrefix;
  if (!outside::EmptyString(argument) && !sync) return splitPlain(argument);

  RunSlots slots;
  if (const auto record = readParameterFile ? readParameterFile() : std::nullopt) {
    slots.slot[0] = "TABELAS";
    slots.slot[1] = record->branch;
    slots.slot[2] = record->cashRegister;
  }
  if (sync) applySync(argument, slots);
  return slots;
}

}  // namespace app
