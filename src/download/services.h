#pragma once

#include <chrono>
#include <functional>
#include <string_view>
#include <thread>

#include "db/core/value.h"

namespace download {

// The run log's GravaLog(message, level); the controller wires the real log in.
using LogFn = std::function<void(std::string_view message, std::string_view level)>;
using Clock = std::function<db::DateTime()>;

// What the download side needs from its surroundings, replaceable in tests.
struct Services {
  LogFn log = [](std::string_view, std::string_view) {};
  Clock now = &db::DateTime::now;
  std::function<void()> waitOneSecond = [] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
  };
  // Lets the window repaint between batches of long work.
  std::function<void()> processMessages = [] {};
  // The package's message dialog, for failures the operator of an attended register must see.
  std::function<void(std::string_view message)> showMessage = [](std::string_view) {};

  // Every line the download side writes goes to the run log at level "3".
  void info(std::string_view message) const { log(message, "3"); }
};

}  // namespace download
