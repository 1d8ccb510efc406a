#pragma once

#include <span>
#include <string_view>

namespace download {

inline constexpr std::string_view kModeTabelas = "TABELAS";
inline constexpr std::string_view kModeExtratoCons = "EXTRATOCONS";
inline constexpr std::string_view kModeEstoque = "ESTOQUE";

// What the count line of a handed-over table shows.
enum class CountRule {
  RecordCount,      // the rows received
  ConsumerTotal,    // with a whole consumer base: the server's QTDCONSUMIDOR figure
  ExtractByFile,    // no count when the extract comes later as a statement file
  DownloadedLater,  // never a count: the table comes later as a statement file
  BenefitTotal,     // with a first benefit load: the server's QTDMOVBENEFICIOCTR figure
};

// One position of the download reply and the client dataset it fills.
struct HandOver {
  int position;
  std::string_view table;    // as logged
  std::string_view dataset;  // the client dataset on the data module
  CountRule count = CountRule::RecordCount;
};

// A mode's positions in hand-over order and the table count text handed to the load.
struct ModeHandOver {
  std::span<const HandOver> positions;
  std::string_view tableCount;
  // Whether the server must fill the sales positions (190 to 198); other modes may leave them
  // empty.
  bool salesRequired = false;
};

// TABELAS, EXTRATOCONS and ESTOQUE have lists; any other mode hands nothing over. Modes match
// exactly, as the run controller and the load compare them.
ModeHandOver handOverFor(std::string_view mode);

// The tables emptied, in this order, when the branch is new to the local database.
std::span<const std::string_view> firstLoadTables();

}  // namespace download
