#pragma once

#include <string>
#include <string_view>

#include "outside/packet_sink.h"

namespace outside::protocol {

// Decodes the base64 text of one taken packet as it arrives in pieces of any length, handing the
// bytes to the sink a block at a time. Refuses what the whole text would be refused for: a
// character outside the alphabet, padding before the end, a length that is no multiple of 4.
class PacketTextDecoder {
 public:
  explicit PacketTextDecoder(PacketSink& sink) : sink_(sink) {}

  // More of the text, escapes already resolved. Throws ProtocolError.
  void feed(std::string_view text);
  // The text is complete: the last bytes go to the sink, which the packet then ends.
  void finish();

 private:
  void decodeBlock();

  PacketSink& sink_;
  std::string block_;  // text waiting to be decoded, at most a block
  bool padded_ = false;
};

}  // namespace outside::protocol
