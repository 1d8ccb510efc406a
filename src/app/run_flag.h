#pragma once

namespace app {

// The run-success flag: true when the run starts; any failing step clears it and nothing sets
// it back.
class RunFlag {
 public:
  bool ok() const { return ok_; }
  void clear() { ok_ = false; }

 private:
  bool ok_ = true;
};

}  // namespace app
