#include "app/parameter_file.h"

#include "db/dataset/dataset.h"

namespace app {

std::optional<ParameterFileRecord> readParameterFile(
    const std::filesystem::path& programDirectory) {
  const std::filesystem::path path = programDirectory / kParameterFileName;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return std::nullopt;
  db::DataSet cdsPelmora("cdsPelmora");
  cdsPelmora.loadFromFile(path);
  if (cdsPelmora.isEmpty()) return ParameterFileRecord{};
  cdsPelmora.first();
  return ParameterFileRecord{cdsPelmora.fieldByName("CDFILIAL").asString(),
                             cdsPelmora.fieldByName("CDCAIXA").asString()};
}

}  // namespace app
