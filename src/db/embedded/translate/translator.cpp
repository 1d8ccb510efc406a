#include "db/embedded/translate/translator.h"

#include "db/embedded/translate/statement_forms.h"

namespace db::embedded {
namespace {

// Statement files send many texts once each; beyond this many the cache starts afresh.
constexpr size_t kMaxCachedTranslations = 4096;

}  // namespace

Translator::Translator(sqlite3* db, std::string user, server::Databases* databases)
    : schema_(db), user_(std::move(user)), databases_(databases) {}

std::shared_ptr<const Translation> Translator::translate(const std::string& sql) {
  if (auto it = cache_.find(sql); it != cache_.end()) return it->second;
  auto translation =
      std::make_shared<const Translation>(translateStatement(sql, schema_, user_, databases_));
  if (cache_.size() >= kMaxCachedTranslations) cache_.clear();
  cache_.emplace(sql, translation);
  return translation;
}

void Translator::schemaChanged() {
  cache_.clear();
  schema_.clear();
}

void Translator::detach() {
  cache_.clear();
  schema_.detach();
}

}  // namespace db::embedded
