#include "download/orchestrator/packet_spool.h"

#include <fstream>
#include <stdexcept>

namespace download {

PacketSpool::PacketSpool(std::filesystem::path directory, const ModeHandOver& mode)
    : directory_(std::move(directory)) {
  std::filesystem::create_directories(directory_);
  for (const HandOver& position : mode.positions)
    datasets_.emplace(position.position, std::string(position.dataset));
}

std::filesystem::path PacketSpool::replyFile() const { return directory_ / "getTabelas.json"; }

bool PacketSpool::take(size_t position, std::string_view packet) {
  const auto dataset = datasets_.find(static_cast<int>(position));
  if (dataset == datasets_.end()) return false;
  const auto file = directory_ / (dataset->second + ".cds");
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(packet.data(), static_cast<std::streamsize>(packet.size()));
  if (!out.flush()) throw std::runtime_error("Não foi possível gravar o arquivo " + file.string());
  files_.insert_or_assign(dataset->first, file);
  return true;
}

const std::filesystem::path* PacketSpool::fileOf(int position) const {
  const auto it = files_.find(position);
  return it == files_.end() ? nullptr : &it->second;
}

}  // namespace download
