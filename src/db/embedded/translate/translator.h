#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "db/embedded/translate/schema_info.h"
#include "db/embedded/translate/translation.h"

struct sqlite3;

namespace db::embedded {

namespace server {
class Databases;
}

// Turns the T-SQL this program sends into SQLite statements. Each distinct text is translated
// once; what a translation knows about column types is dropped when the schema changes.
class Translator {
 public:
  // `databases` resolves three-part names; without it they are refused.
  Translator(sqlite3* db, std::string user, server::Databases* databases = nullptr);

  // Throws db::Error: Syntax for malformed text, Unsupported for a construct outside the
  // subset (naming it), Conversion for a literal that cannot be a date-time.
  std::shared_ptr<const Translation> translate(const std::string& sql);
  void schemaChanged();
  void detach();

 private:
  SchemaInfo schema_;
  std::string user_;
  server::Databases* databases_;
  std::unordered_map<std::string, std::shared_ptr<const Translation>> cache_;
};

// Translates one text without caching (the translator's work; exposed for tests).
Translation translateStatement(std::string_view sql, SchemaInfo& schema, const std::string& user,
                               server::Databases* databases = nullptr);

}  // namespace db::embedded
