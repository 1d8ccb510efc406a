#include "fault/fault.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>

namespace fault {
namespace {

struct Switch {
  bool active = false;
  std::string point;
  long pass = 1;
  std::string trace;
  std::map<std::string, long, std::less<>> passes;
  std::mutex mutex;
};

Switch& theSwitch() {
  static Switch* instance = [] {
    auto* s = new Switch;
    if (const char* wanted = std::getenv("KIVTAB_FAULT"); wanted && *wanted) {
      std::string text = wanted;
      const auto colon = text.rfind(':');
      if (colon != std::string::npos) {
        s->pass = std::max(1L, std::strtol(text.c_str() + colon + 1, nullptr, 10));
        text.resize(colon);
      }
      s->point = text;
      s->active = true;
    }
    if (const char* trace = std::getenv("KIVTAB_FAULT_TRACE"); trace && *trace) {
      s->trace = trace;
      s->active = true;
    }
    return s;
  }();
  return *instance;
}

}  // namespace

void reach(std::string_view point) {
  Switch& s = theSwitch();
  if (!s.active) return;
  std::lock_guard lock(s.mutex);
  if (!s.trace.empty()) std::ofstream(s.trace, std::ios::app) << point << '\n';
  if (point != s.point) return;
  auto it = s.passes.find(point);
  if (it == s.passes.end()) it = s.passes.emplace(std::string(point), 0).first;
  if (++it->second == s.pass) std::raise(SIGKILL);
}

}  // namespace fault
