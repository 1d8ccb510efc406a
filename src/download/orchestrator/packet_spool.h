#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "download/download_state.h"
#include "download/orchestrator/handover_lists.h"
#include "outside/packet_sink.h"

namespace download {

// Takes the packets of the download reply that the mode hands over as they are read. A small
// packet stays in memory while the spool's byte budget lasts; a larger one goes to the staging
// folder as <dataset>.cds (the packet as it came). So the reply is never held whole, and the
// many small tables cost no file each.
class PacketSpool : public outside::PacketSink {
 public:
  static constexpr size_t kLargestHeld = size_t{1} << 20;
  static constexpr size_t kMemoryBudget = size_t{8} << 20;

  // Creates the folder when missing. `largestHeld`: the largest packet kept in memory;
  // `memoryBudget`: all of them together.
  PacketSpool(std::filesystem::path directory, const ModeHandOver& mode,
              size_t largestHeld = kLargestHeld, size_t memoryBudget = kMemoryBudget);

  bool begin(size_t position) override;
  void append(std::string_view bytes) override;
  void end() override;

  // The packet of a handed-over position, moved out; nothing when it was not taken.
  std::optional<SpooledPacket> take(int position);

 private:
  void spill();

  std::filesystem::path directory_;
  std::map<int, std::string> datasets_;  // by position
  std::map<int, SpooledPacket> packets_;
  size_t largestHeld_;
  size_t budgetLeft_;
  // The packet being read: in `held_` until it outgrows what memory may take, then in `file_`.
  int position_ = 0;
  std::filesystem::path path_;
  std::string held_;
  std::ofstream file_;
};

}  // namespace download
