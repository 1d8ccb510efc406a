#include "download/statement_files/file_kinds.h"

#include <array>

namespace download {
namespace {

constexpr std::array<FileKind, 5> kKinds{{
    {"CONS", "insertConsumidor.sql", "Consumidor", "CONSUMIDOR", "DELETE FROM CONSUMIDOR", true,
     AfterStep::None},
    {"EXTCONS", "insertExtratoCons.sql", "Extratocons", "EXTRATOCONS", "DELETE FROM EXTRATOCONS",
     false, AfterStep::None},
    {"CONSCLIENFIL_TMP", "insertConsumidorClienFil.sql", "ConsClienFil_TMP", "CONSCLIENFIL_TMP", "",
     false, AfterStep::ConsClienFil},
    {"CONSDT_TEMP", "insertConsumidorDTULTATU.sql", "CONSDT_TEMP", "CONSDT_TEMP", "", false,
     AfterStep::ConsDt},
    {"DELCACHEPRODUTOSEG", "DELCACHEPRODUTOSEG.sql", "DelCacheProdutoSeg", "DELCACHEPRODUTOSEG", "",
     false, AfterStep::None},
}};

// Runs nothing: an unknown kind has no table its lines may write.
constexpr FileKind kUnknown{"", "", "", "", "", false, AfterStep::None};

}  // namespace

const FileKind& fileKindOf(std::string_view kind) {
  for (const auto& k : kKinds)
    if (k.kind == kind) return k;
  return kUnknown;
}

std::optional<std::string_view> beforeStatement(const FileKind& kind, int64_t linhaIni) {
  if (kind.before.empty() || (kind.beforeOnlyOnFirstRange && linhaIni > 1)) return std::nullopt;
  return kind.before;
}

bool isDelCacheKind(std::string_view kind) { return kind.substr(0, 8) == "DELCACHE"; }

}  // namespace download
