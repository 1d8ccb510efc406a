#include "db/embedded/procedural/program.h"

#include "db/core/text.h"

namespace db::embedded::procedural {
namespace {

struct SpecialName {
  std::string_view name;
  Special special;
};

constexpr SpecialName kSpecialNames[] = {
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
  for (const auto& s : kSpecialNames)
    if (iequals(name, s.name)) return s.special;
  return Special::None;
}

}  // namespace db::embedded::procedural
