#include "download/download_state.h"

#include <algorithm>
#include <system_error>

namespace download {

// ASCII folding without the locale look-up of std::toupper: names are compared on every access
// to a dataset.
bool NameLess::operator()(std::string_view a, std::string_view b) const {
  const auto fold = [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - ('a' - 'A')) : u;
  };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char x, char y) { return fold(x) < fold(y); });
}

namespace {

// Below this a read dataset stays in memory: reading it again would cost more than it holds.
constexpr size_t kReleasedFromBytes = 1u << 20;

}  // namespace

db::DataSet& DownloadState::dataset(std::string_view name) {
  if (db::DataSet* found = findDataset(name)) return *found;
  return datasets_.emplace(std::string(name), db::DataSet(std::string(name))).first->second;
}

db::DataSet* DownloadState::findDataset(std::string_view name) {
  if (const auto it = datasets_.find(name); it != datasets_.end()) return &it->second;
  const auto spooled = spooled_.find(name);
  if (spooled == spooled_.end()) return nullptr;
  db::DataSet read{std::string(name)};
  const SpooledPacket& packet = spooled->second.packet;
  if (packet.bytes) {
    read.setData(std::string_view(*packet.bytes), packet.source);
  } else {
    read.loadFromFile(packet.file);
  }
  spooled->second.rows = read.recordCount();
  return &datasets_.emplace(std::string(name), std::move(read)).first->second;
}

void DownloadState::spool(std::string_view name, SpooledPacket packet) {
  if (const auto it = datasets_.find(name); it != datasets_.end()) datasets_.erase(it);
  spooled_.insert_or_assign(std::string(name), Spooled{std::move(packet), 0});
}

// Both maps are in name order, so one walk pairs them: this runs after every table.
void DownloadState::releaseSpooled() {
  const NameLess less;
  auto it = datasets_.begin();
  for (const auto& [name, spooled] : spooled_) {
    while (it != datasets_.end() && less(it->first, name)) ++it;
    if (it == datasets_.end()) return;
    if (less(name, it->first)) continue;
    const db::DataSet& held = it->second;
    // The load only ever removes rows from a downloaded dataset: as many rows as were read means
    // the packet still holds what the dataset holds.
    if (held.recordCount() != spooled.rows || held.memoryUsed() < kReleasedFromBytes) continue;
    it = datasets_.erase(it);
  }
}

void DownloadState::clearSpool() {
  for (const auto& [name, spooled] : spooled_) {
    std::error_code ignored;
    std::filesystem::remove(spooled.packet.file, ignored);
  }
  spooled_.clear();
}

}  // namespace download
