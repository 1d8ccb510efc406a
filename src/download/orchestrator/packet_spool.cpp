#include "download/orchestrator/packet_spool.h"

#include <algorithm>
#include <stdexcept>

namespace download {
namespace {

[[noreturn]] void cannotWrite(const std::filesystem::path& file) {
  throw std::runtime_error("Não foi possível gravar o arquivo " + file.string());
}

}  // namespace

PacketSpool::PacketSpool(std::filesystem::path directory, const ModeHandOver& mode,
                         size_t largestHeld, size_t memoryBudget)
    : directory_(std::move(directory)), largestHeld_(largestHeld), budgetLeft_(memoryBudget) {
  std::filesystem::create_directories(directory_);
  for (const HandOver& position : mode.positions)
    datasets_.emplace(position.position, std::string(position.dataset));
}

bool PacketSpool::begin(size_t position) {
  const auto dataset = datasets_.find(static_cast<int>(position));
  if (dataset == datasets_.end()) return false;
  position_ = dataset->first;
  path_ = directory_ / (dataset->second + ".cds");
  held_.clear();
  return true;
}

void PacketSpool::append(std::string_view bytes) {
  if (!file_.is_open() && held_.size() + bytes.size() > std::min(largestHeld_, budgetLeft_))
    spill();
  if (file_.is_open()) {
    if (!file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) cannotWrite(path_);
    return;
  }
  held_.append(bytes);
}

void PacketSpool::end() {
  if (!file_.is_open()) {
    budgetLeft_ -= held_.size();
    packets_.insert_or_assign(position_, SpooledPacket{path_, std::move(held_), {}});
    held_ = std::string();
    return;
  }
  file_.close();
  if (!file_) cannotWrite(path_);
  packets_.insert_or_assign(position_, SpooledPacket{path_, std::nullopt, {}});
}

// The packet being read goes on in its file, with what memory held of it so far.
void PacketSpool::spill() {
  file_.clear();
  file_.open(path_, std::ios::binary | std::ios::trunc);
  if (!file_ || !file_.write(held_.data(), static_cast<std::streamsize>(held_.size())))
    cannotWrite(path_);
  held_ = std::string();
}

std::optional<SpooledPacket> PacketSpool::take(int position) {
  const auto it = packets_.find(position);
  if (it == packets_.end()) return std::nullopt;
  SpooledPacket packet = std::move(it->second);
  packets_.erase(it);
  return packet;
}

}  // namespace download
