#include "outside/packet_text.h"

#include <algorithm>
#include <stdexcept>

#include "db/core/base64.h"
#include "outside/protocol.h"

namespace outside::protocol {
namespace {

// Text decoded at a time: a multiple of 4, so only the last block may carry padding.
constexpr size_t kBlockChars = size_t{1} << 16;

}  // namespace

void PacketTextDecoder::feed(std::string_view text) {
  if (block_.capacity() < kBlockChars) block_.reserve(kBlockChars);
  while (!text.empty()) {
    const size_t taken = std::min(kBlockChars - block_.size(), text.size());
    block_.append(text.data(), taken);
    text.remove_prefix(taken);
    if (block_.size() == kBlockChars) decodeBlock();
  }
}

void PacketTextDecoder::finish() {
  decodeBlock();
  sink_.end();
}

void PacketTextDecoder::decodeBlock() {
  if (block_.empty()) return;
  // Padding closes the text: a block after it means padding in the middle.
  if (padded_) throw ProtocolError("$packet: invalid base64 text");
  padded_ = block_.back() == '=';
  std::string_view bytes;
  try {
    bytes = db::base64DecodeInPlace(block_);
  } catch (const std::invalid_argument& e) {
    throw ProtocolError(std::string("$packet: ") + e.what());
  }
  sink_.append(bytes);
  block_.clear();
}

}  // namespace outside::protocol
