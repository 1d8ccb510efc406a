#pragma once

#include <filesystem>
#include <optional>

#include "db/core/value.h"
#include "download/download_state.h"

namespace load {

// <program directory>/Dados/Tabelas_Kiv, created (with Dados first) when missing.
std::filesystem::path stagingDirectory(const std::filesystem::path& programDirectory);

// True for the work datasets (Tag 1) that never pass through the staging files.
bool isWorkDataset(const db::DataSet& dataSet, std::string_view name);

// Saves every open downloaded dataset as <name>.cds, then reads each back and deletes its file,
// so every dataset enters the load as its packet reads back. Spooled datasets are there already:
// each is read from its file when the load reaches it. A file that cannot be written or
// read raises, naming the file; the dataset keeps what it held.
void stageDatasets(download::DownloadState& state, const std::filesystem::path& directory);

// The full-reload order: when P_DTDELETECACHE.cds is present, its first line as a date-time.
// Nothing when the file is absent. A first line that is no date-time raises.
std::optional<db::DateTime> readFullReloadOrder(const std::filesystem::path& directory);
// The order is carried out: the file goes.
void removeFullReloadOrder(const std::filesystem::path& directory);

}  // namespace load
