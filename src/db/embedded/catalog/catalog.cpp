#include <sqlite3.h>

#include <cctype>

#include "db/core/text.h"
#include "db/embedded/catalog/functions.h"
#include "db/embedded/catalog/metadata.h"
#include "db/embedded/catalog/snapshot_tables.h"
#include "db/embedded/catalog/sqlite_access.h"
#include "db/embedded/catalog/views.h"
#include "db/embedded/extension.h"

namespace db::embedded::catalog {
namespace {

// "MASTER.DBO.SYSLOGINS", "[dbo].[SYSCOLUMNS]", "master..syslogins" -> "syslogins",
// "sys.indexes" -> "sys.indexes": lower case, without quoting, database and dbo qualifiers.
std::string normalise(std::string_view qualified) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : qualified) {
    if (c == '[' || c == ']' || c == '"') continue;
    if (c == '.') {
      parts.push_back(part);
      part.clear();
      continue;
    }
    part += c;
  }
  parts.push_back(part);
  for (auto& p : parts) p = lower(trim(p));
  if (parts.size() == 3) parts.erase(parts.begin());  // the database: master, this one, or ""
  if (parts.size() == 2 && (parts[0] == "dbo" || parts[0].empty())) parts.erase(parts.begin());
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : ".") + p;
  return out;
}

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

const CatalogView* viewNamed(std::string_view name) {
  for (const auto& view : catalogViews())
    if (view.view == name) return &view;
  return nullptr;
}

// A view's SELECT for another schema: its snapshot relations read that schema, the views it
// builds on are expanded in place, and the database name is the schema's.
std::string expandFor(std::string_view select, const std::string& schema) {
  constexpr std::string_view kPrefix = "kivtab_";
  constexpr std::string_view kDatabaseCall = "kivtab_database()";
  std::string out;
  size_t i = 0;
  while (i < select.size()) {
    const bool starts =
        select.substr(i).starts_with(kPrefix) && (i == 0 || !isNameChar(select[i - 1]));
    if (!starts) {
      out += select[i++];
      continue;
    }
    size_t end = i;
    while (end < select.size() && isNameChar(select[end])) ++end;
    const std::string_view name = select.substr(i, end - i);
    if (select.substr(i).starts_with(kDatabaseCall)) {
      out += "'" + schema + "'";
      end = i + kDatabaseCall.size();
    } else if (name.starts_with("kivtab_vt_")) {
      out += std::string(name) + "('" + schema + "')";
    } else if (const CatalogView* base = viewNamed(name); base && name.starts_with("kivtab_cat_")) {
      out += "(" + expandFor(base->select, schema) + ")";
    } else {
      out += name;
    }
    i = end;
  }
  return out;
}

bool isPerDatabase(std::string_view select) {
  return select.find("kivtab_vt_") != std::string_view::npos ||
         select.find("kivtab_cat_") != std::string_view::npos;
}

}  // namespace

std::string viewSelectFor(std::string_view view, const std::string& schema) {
  const CatalogView* found = viewNamed(view);
  if (!found || !isPerDatabase(found->select)) return {};
  // Doubled so that a quote in a file's name stays inside the literal.
  std::string quoted;
  for (char c : schema) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return expandFor(found->select, quoted);
}

void install(sqlite3* db, const std::string& user) {
  createMetadataTables(db);
  registerFunctions(db, user, databaseName(db));
  registerSnapshotTables(db);
  for (const auto& view : catalogViews()) {
    sqlite::exec(db, "DROP VIEW IF EXISTS temp." + std::string(view.view));
    sqlite::exec(db,
                 "CREATE TEMP VIEW " + std::string(view.view) + " AS " + std::string(view.select));
  }
}

std::optional<std::string> viewFor(std::string_view qualifiedName) {
  const std::string key = normalise(qualifiedName);
  for (const auto& view : catalogViews())
    for (std::string_view name : view.names)
      if (name == key) return std::string(view.view);
  return std::nullopt;
}

}  // namespace db::embedded::catalog
