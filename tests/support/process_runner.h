#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
  int status = -1;  // exit status; -1 when killed by a signal or timed out
  std::string out;
  std::string err;
};

// A child process with extra environment variables and its output captured in files.
class Process {
 public:
  Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          const std::filesystem::path& outputDir);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Waits for the end, killing the child after `timeout`.
  ProcessResult wait(std::chrono::seconds timeout);
  void terminate();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::filesystem::path outPath_, errPath_;
};

// Runs to completion.
ProcessResult run(const std::vector<std::string>& argv,
                  const std::map<std::string, std::string>& env,
                  const std::filesystem::path& outputDir,
                  std::chrono::seconds timeout = std::chrono::seconds(120));

// A TCP port on 127.0.0.1 that nothing listened on a moment ago.
int freeLoopbackPort();
// True once something accepts connections on 127.0.0.1:port.
bool waitForListener(int port, std::chrono::seconds timeout);

}  // namespace testing_support
