// kivtab PARAMETER-STRING: one run that brings this register's local database in step with the
// central data. Exit status: 0 after a successful run, 1 otherwise, 3 when another kivtab runs.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "app/console_view.h"
#include "app/controller.h"
#include "app/parameter_file.h"
#include "app/run_identity.h"
#include "main/close_delay.h"
#include "platform/instance_lock.h"
#include "wiring/run_steps_factory.h"

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kAlreadyRunning = 3;

// Stops the program early with a reason on standard error, when even the run log is not there.
int fail(const std::string& reason) {
  std::cerr << "kivtab: " << reason << '\n';
  return kFailure;
}

// A malformed registry file is named plainly before the run, whose own messages only say that
// the server or the database could not be reached.
void warnAboutRegistry(const outside::Package& package) {
  try {
    package.registry();
  } catch (const outside::RegistryError& e) {
    std::cerr << "kivtab: " << e.what() << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  const outside::Package package(outside::Environment::fromProcess());

  std::optional<platform::InstanceLock> lock;
  try {
    std::string connectionString;
    try {
      connectionString = package.GetStringConexKiv();
    } catch (const outside::RegistryError&) {
      // Named below by warnAboutRegistry; the program directory is locked instead.
    }
    lock.emplace(app::runIdentity(connectionString, package.programDirectory()),
                 platform::InstanceLock::lockDirectory());
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  // Another kivtab is running against this database: leave at once, touching nothing, with a status
  // of its own.
  if (!lock->held()) {
    std::cerr << "kivtab: another kivtab is running; this one did not start\n";
    return kAlreadyRunning;
  }

  warnAboutRegistry(package);
  app::ConsoleView view(stdout, app::ConsoleView::modeFor(stdout));
  app::RunLog log(package.programDirectory());
  log.setView(&view);
  if (const char* trace = std::getenv("KIVTAB_TRACE"); trace && *trace) {
    try {
      log.traceTo(trace);
    } catch (const std::exception& e) {
      return fail(e.what());
    }
  }
  app::ErrorLog errorLog(package.programDirectory());
  app::RunSteps steps = wiring::buildRunSteps(kivtab::cleanupPause(std::getenv("KIVTAB_CLEANUP_PAUSE")));
  app::Controller controller(
      package, log, errorLog, view, steps, app::ConnectionFactories::standard(package),
      [&package] { return app::readParameterFile(package.programDirectory()); });

  int status = kFailure;
  try {
    const app::RunOutcome outcome = controller.run(argc > 1 ? argv[1] : "");
    status = outcome.success && outcome.updateAllowed ? kSuccess : kFailure;
  } catch (const std::exception& e) {
    try {
      log.GravaLog(std::string("Erro inesperado, execução interrompida: ") + e.what(), "3");
    } catch (const std::exception&) {
      // Standard error below still tells.
    }
    return fail(std::string("run stopped: ") + e.what());
  }
  std::this_thread::sleep_for(kivtab::closeDelay(std::getenv("KIVTAB_CLOSE_DELAY")));
  return status;
}
