#pragma once

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/run_context.h"
#include "db/core/connection.h"

// What the site hooks share: their connection, the database kind, the branch's turnstile
// setting, the banner lines and the guard that keeps each hook's failure to itself.
namespace site_hooks {

// adcCliExp of dtmBaixaTabelas, creating the module and opening the local connection when the
// run has closed them.
db::Connection& adcCliExp(app::RunContext& run);

// The objects SQL Server alone supports are made only on it.
bool isSqlServer(const app::RunContext& run);

// IDUTILTRILOBIT of the branch (adqCatracaTrilobit); empty without a row.
std::string catracaTrilobit(db::Connection& local, const std::string& branch);

// An empty line, then the banner lines, all at level "3".
void logBanner(app::RunLog& log, std::initializer_list<std::string_view> lines);

// Runs one hook: its exception is logged alone at level "3" and goes no further, so that one
// hook's failure neither stops the others nor the run.
template <class Hook>
void guarded(app::RunContext& run, Hook hook) {
  try {
    hook();
  } catch (const std::exception& e) {
    run.log.GravaLog(e.what(), "3");
  }
}

}  // namespace site_hooks
