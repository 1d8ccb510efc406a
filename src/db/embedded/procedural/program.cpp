#include "db/embedded/procedural/program.h"

#include "db/core/named_table.h"

namespace db::embedded::procedural {
namespace {

constexpr Named<Special> kSpecialNames[] = {
    {"@@ROWCOUNT", Special::RowCount},
    {"@@ERROR", Special::Error},
    {"@@TRANCOUNT", Special::TranCount},
    {"@@SPID", Special::Spid},
    {"@@FETCH_STATUS", Special::FetchStatus},
    {"@@NESTLEVEL", Special::NestLevel},
    {"@@ERROR_MESSAGE", Special::ErrorMessage},
    {"@@ERROR_NUMBER", Special::ErrorNumber},
    {"@@ERROR_SEVERITY", Special::ErrorSeverity},
    {"@@ERROR_STATE", Special::ErrorState},
    {"@@ERROR_LINE", Special::ErrorLine},
    {"@@ERROR_PROCEDURE", Special::ErrorProcedure},
};

}  // namespace

Special specialNamed(std::string_view name) {
  return lookupName(kSpecialNames, name).value_or(Special::None);
}

}  // namespace db::embedded::procedural
