#pragma once

#include <cstddef>
#include <string_view>

namespace outside {

// Takes the data packets of a reply's result array piece by piece as the reply arrives, so that
// neither a reply larger than memory (a whole download) nor one whole packet's text is ever held.
class PacketSink {
 public:
  virtual ~PacketSink() = default;
  // The packet at `position` of the result array begins. True when the sink takes it: its bytes
  // then arrive through append() and end with end(), and the result holds an empty packet there.
  // False leaves the packet in the result. A reply that fails part-way ends no packet it began.
  virtual bool begin(size_t position) = 0;
  virtual void append(std::string_view bytes) = 0;
  virtual void end() = 0;
};

}  // namespace outside
