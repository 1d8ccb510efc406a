#pragma once

#include "app/connections.h"
#include "load/load_context.h"
#include "load/load_ports.h"
#include "wiring/download_context.h"

namespace wiring {

// The central consumer mirror of the run (adcBancoCentral), when the branch's parameters keep
// one, through the connections' helpers (which swallow their own failures).
class RunMirror : public load::CentralMirror {
 public:
  explicit RunMirror(app::Connections& connections) : connections_(connections) {}
  bool active() const override;
  void begin() override;
  void commit() override;
  void rollback() override;
  db::Connection* connection() override;

 private:
  app::Connections& connections_;
};

// The load's callbacks on the run: its log, error log, message dialog and run flag.
load::LoadEnvironment loadEnvironmentOf(DownloadContext& context);

}  // namespace wiring
