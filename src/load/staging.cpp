#include "load/staging.h"

#include <array>
#include <fstream>
#include <stdexcept>

#include "db/core/text.h"
#include "platform/replace_file.h"

namespace load {

namespace {

constexpr std::array<std::string_view, 14> kWorkDatasets = {
    "cdsGastoPorFam",      "cdsVendaTemp",      "cdsTurcaixa",   "cdsVenda",
    "cdsItemVenda",        "cdsItVendaImpos",   "cdsItVendaCan", "cdsMovCaixa",
    "cdsVExtratoCons",     "cdsDadosServidor",  "cdsReducaoZ",   "cdsTriggers",
    "cdsConsPendentesAtu", "cdsCliCtrlAtualTab"};

constexpr std::string_view kFullReloadFile = "P_DTDELETECACHE.cds";

}  // namespace

std::filesystem::path stagingDirectory(const std::filesystem::path& programDirectory) {
  const auto dados = programDirectory / "Dados";
  const auto staging = dados / "Tabelas_Kiv";
  // The kept deletions live below it: its entry must outlast a power cut as theirs do.
  platform::createDirectories(staging);
  return staging;
}

bool isWorkDataset(const db::DataSet& dataSet, std::string_view name) {
  if (dataSet.tag() == 1) return true;
  for (auto work : kWorkDatasets) {
    if (db::iequals(work, name)) return true;
  }
  return false;
}

void stageDatasets(download::DownloadState& state, const std::filesystem::path& directory) {
  for (auto& [name, dataSet] : state.datasets()) {
    if (isWorkDataset(dataSet, name) || !dataSet.active() || state.isSpooled(name)) continue;
    dataSet.saveToFile(directory / (name + ".cds"));
  }
  for (auto& [name, dataSet] : state.datasets()) {
    if (isWorkDataset(dataSet, name) || state.isSpooled(name)) continue;
    const auto file = directory / (name + ".cds");
    if (!std::filesystem::exists(file)) continue;
    db::DataSet reread(name);
    reread.loadFromFile(file);
    reread.setTag(dataSet.tag());
    dataSet = std::move(reread);
    std::filesystem::remove(file);
  }
}

std::optional<db::DateTime> readFullReloadOrder(const std::filesystem::path& directory) {
  const auto file = directory / kFullReloadFile;
  if (!std::filesystem::exists(file)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  if (!in) throw std::runtime_error("Não foi possível ler o arquivo " + file.string());
  std::getline(in, line);
  const std::string text(db::trim(line));
  const auto when = db::DateTime::parse(text);
  if (!when) throw std::runtime_error("'" + text + "' não é uma data e hora válida");
  return when;
}

void removeFullReloadOrder(const std::filesystem::path& directory) {
  std::filesystem::remove(directory / kFullReloadFile);
}

}  // namespace load
