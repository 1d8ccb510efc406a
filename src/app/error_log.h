#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "app/run_log.h"

namespace app {

// The per-day, per-register error log of failed loads: "<program directory>/ de D_M_YYYY_
// <branch>_<register>_.log" (the name begins with a blank; day and month without leading
// zeros), code page 1252, CR LF, a three-line banner at the top and one entry per failure.
class ErrorLog {
 public:
  explicit ErrorLog(std::filesystem::path programDirectory, Clock clock = &db::DateTime::now);

  std::filesystem::path fileFor(db::DateTime day, std::string_view branch,
                                std::string_view cashRegister) const;

  // Appends an entry, starting the file with the banner when it does not exist yet. The file
  // is rewritten through a temporary file, so a failed write never truncates earlier entries.
  // Raises LogError when the file cannot be read or written.
  void GravaLogErro(std::string_view branch, std::string_view cashRegister,
                    std::string_view errorText, std::string_view actionText);

 private:
  std::filesystem::path directory_;
  Clock clock_;
};

}  // namespace app
