#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace download {

// What runs after each statement file of a kind (the consumer catch-ups' finishing steps).
enum class AfterStep { None, ConsClienFil, ConsDt };

// One kind of server-built statement file.
struct FileKind {
  std::string_view kind;      // P_TIPOARQUIVO
  std::string_view fileName;  // the name its caller asks the server to write
  std::string_view label;     // used in the log lines
  std::string_view table;     // the one table its statement lines may insert into
  std::string_view before;    // statement run before the statements; empty for none
  bool beforeOnlyOnFirstRange;
  AfterStep after;
};

// The kind's description; an unknown kind has an empty label and no steps.
const FileKind& fileKindOf(std::string_view kind);

// The statement to run before the statements of a request starting at line linhaIni, if any:
// a consumer range after the first must not empty what the earlier ranges loaded.
std::optional<std::string_view> beforeStatement(const FileKind& kind, int64_t linhaIni);

// Delete-cache kinds keep no copy of their zip and log no batch lines.
bool isDelCacheKind(std::string_view kind);

// Hooks for the steps that follow each statement file of the consumer catch-up kinds, told how
// many statements that file ran; they do nothing until the anticipated downloads provide them.
class FileKindHooks {
 public:
  virtual ~FileKindHooks() = default;
  virtual void afterConsClienFil(int64_t /*fileStatements*/) {}
  virtual void afterConsDt(int64_t /*fileStatements*/) {}
};

}  // namespace download
