#pragma once

#include <string_view>
#include <vector>

#include "load/bulk_writer.h"
#include "load/keyed_merge.h"
#include "load/load_context.h"

namespace load {

// What one step of the TABELAS sequence does.
enum class StepKind {
  Merge,         // K: keyed merge
  MergeFlag,     // K with the flag "S"
  Replace,       // R: delete all, then the bulk writer
  Append,        // A: the bulk writer alone
  ProdFili,      // emptied always, merged only when PARAMGERAL.IDATUPRODATIVFI is 'S'
  ControlSenha,  // R keeping the rows marked 'I'
  DeleteTipoReceInte,
  InactiveProducts,
  TotalDiaCaixa,   // delete and inserts in one transaction
  TipoSaldoProd,   // the same for the whole table
  DescRoteiro,     // R followed by its log line
  Counters,        // NOVOCODIGO
  ProdBloqVndTaa,  // R only while the local table is empty
};

struct SequenceStep {
  StepKind kind;
  std::string_view table;
  bool banner = true;
};

// The fixed order of the TABELAS load.
const std::vector<SequenceStep>& tableSequence();

// The full wipe's statements, in order (MESA keeps the rows not marked 'D'), and the tables it
// empties.
const std::vector<std::string>& fullWipeStatements();
const std::vector<std::string>& fullWipeTables();

class TableSequence {
 public:
  TableSequence(LoadContext& context, KeyedMerge& merge, BulkWriter& writer)
      : ctx_(context), merge_(merge), writer_(writer) {}

  // Runs every step; the first failure raises (tables merged before it stay).
  void run();
  void runStep(const SequenceStep& step);

  // The statement of every replace: DELETE then the bulk writer.
  void replace(std::string_view table);
  bool prodAtivFilial();

 private:
  void logInactiveProducts(const std::exception& error);

  LoadContext& ctx_;
  KeyedMerge& merge_;
  BulkWriter& writer_;
};

// The banner of a table step.
std::string tableBanner(std::string_view table);

// Thrown when the run's cancel request is seen between steps.
class LoadCancelled : public std::runtime_error {
 public:
  LoadCancelled() : std::runtime_error("O processo de exportação foi cancelado.") {}
};

}  // namespace load
