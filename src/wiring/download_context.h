#pragma once

#include "app/run_context.h"
#include "db/core/connection.h"
#include "download/download_state.h"
#include "download/services.h"
#include "download/statement_files/server_file_transfer.h"
#include "outside/app_server.h"

namespace wiring {

// What the download's stages share during one run: the run, the download data module's
// connections and state, and the server-file transfer.
struct DownloadContext {
  app::RunContext& run;
  const download::Services& services;
  download::DownloadState& state;
  db::Connection& local;       // adcCliExp
  outside::AppServer& server;  // netProcedimentos
  download::ServerFileTransfer& files;
};

}  // namespace wiring
