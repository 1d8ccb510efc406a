#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "download/orchestrator/handover_lists.h"
#include "outside/app_server.h"

namespace download {

// Writes the packets of the download reply that the mode hands over to the staging folder as
// they are read, one file per client dataset (<dataset>.cds, the packet as it came), so the
// reply is never held whole.
class PacketSpool : public outside::PacketSink {
 public:
  // Creates the folder when missing.
  PacketSpool(std::filesystem::path directory, const ModeHandOver& mode);

  std::filesystem::path replyFile() const override;
  bool take(size_t position, std::string_view packet) override;

  // The file holding the packet of a handed-over position; nullptr when it was not taken.
  const std::filesystem::path* fileOf(int position) const;

 private:
  std::filesystem::path directory_;
  std::map<int, std::string> datasets_;  // by position
  std::map<int, std::filesystem::path> files_;
};

}  // namespace download
