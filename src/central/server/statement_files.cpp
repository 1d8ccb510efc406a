#include "central/server/statement_files.h"

#include <fstream>

#include "central/model/model.h"
#include "central/server/method_table.h"
#include "central/server/sql_literal.h"
#include "central/server/zip_writer.h"
#include "db/core/sql_text.h"
#include "db/core/text.h"

namespace central::server {
namespace {

// The consumer columns of the register's temporary consumer tables, in their order.
constexpr const char* kConsumerTempColumns[] = {
    "CDCLIENTE",     "CDCONSUMIDOR",   "NMCONSUMIDOR",    "VRLIMDEBCONS",    "IDSITCONSUMI",
    "CDPAIS",        "SGESTADO",       "CDMUNICIPIO",     "CDTIPOCONS",      "CDCCUSCLIE",
    "CDIDCONSUMID",  "CDEXCONSUMID",   "DSENDECONS",      "NMBAIRCONS",      "NRCEPCONS",
    "NRTELECONS",    "IDVERSALDCON",   "VRMESUBCONS",     "IDCONSUMIDOR",    "DTULTATUCSUM",
    "IDATUCONSUMI",  "NRCPFRESPCON",   "NMRESPCONS",      "VRMAXDEBCONS",    "VRLIMCREDCONS",
    "VRAVICREDCONS", "VRMAXCREDCONS",  "VRDIASUBCONS",    "DSCOMPLENDECONS", "DSREFERENDECONS",
    "CDBAIRRO",      "IDTPVENDACONS",  "IDCADCONFLIBCON", "IDPERCONSPRODEX", "NRENDECONS",
    "IDTPSELMANHA",  "IDTPSEALMOCO",   "IDTPSELTARDE",    "IDCRACHAMESTRE",  "DTCRIACONS",
    "DTATIVACAO",    "DTBLOQUEIO",     "VRSUBSBASICO",    "IDATUCPFCONS",    "NMLOGINCONS",
    "CDSENHASITE",   "DIGICONSUMIDOR", "CDSENHACONSMD5",  "DIGICONSUMIDOR2", "IDBLOQSALDFS",
    "CDSENHACONS",   "IDSEXOCONS",     "VRAVIDEBCONS",    "VRMAXCONSMENSAL", "CDCONSVINCULO",
    "IDIMPCPFCUPOM", "DSINFOCONS",     "IDATUCONSONLINE", "CDCARTAOMIFARE",  "DTVALIDADECONSUMIDOR",
    "CDSENHAPOSMD5", "NRTELE2CONS",    "NRCELULARCONS"};

constexpr const char* kConsumersChangedAtBranch =
    "CDCLIENTE IN (SELECT CDCLIENTE FROM CLIENFILIAL WHERE CDFILIAL = :P_CDFILIALCF "
    "AND DTULTATUCLIF > :P_DTCLIENFIL)";
constexpr const char* kDeleteCacheTime = "DTULTATUCACH";
constexpr const char* kDeleteCacheKey = "DSKEYCACHE";
constexpr const char* kLineEnd = "\r\n";

std::vector<std::string> allColumns(const central::Table& table) {
  std::vector<std::string> names;
  for (const auto& c : table.columns) names.push_back(c.name);
  return names;
}

std::vector<std::string> consumerTempColumns(const central::Table& consumers) {
  std::vector<std::string> names;
  for (const char* name : kConsumerTempColumns)
    if (consumers.hasColumn(name)) names.push_back(name);
  return names;
}

db::Value valueAt(const db::ValueArray& values, size_t index) {
  return index < values.size() ? values[index] : db::Value();
}

}  // namespace

std::string keyValue(const std::string& keyText, const std::string& column) {
  auto at = keyText.find(column);
  if (at == std::string::npos) return {};
  auto valueStart = at + column.size() + 1;
  if (valueStart > keyText.size()) return {};
  auto end = keyText.find(';', valueStart);
  return keyText.substr(valueStart,
                        end == std::string::npos ? std::string::npos : end - valueStart);
}

StatementSource statementSource(const std::string& kind, const std::string& branch,
                                const db::ValueArray& values) {
  const central::Model& model = central::centralModel();
  StatementSource source;
  source.filter.branch = branch;
  const std::string k = db::upper(kind);
  if (k == "CONS" || k == "EXTCONS") {
    source.table = &model.table(k == "CONS" ? "CONSUMIDOR" : "EXTRATOCONS");
    source.targetTable = source.table->name;
    source.columns = allColumns(*source.table);
  } else if (k == "CONSDT_TEMP") {
    source.table = &model.table("CONSUMIDOR");
    source.targetTable = k;
    source.columns = consumerTempColumns(*source.table);
    source.filter.since = requestDate(valueAt(values, 0));
  } else if (k == "CONSCLIENFIL_TMP") {
    source.table = &model.table("CONSUMIDOR");
    source.targetTable = k;
    source.columns = consumerTempColumns(*source.table);
    auto since = requestDate(valueAt(values, 0));
    if (since && *since > baseDate()) {
      source.filter.extraCondition = kConsumersChangedAtBranch;
      source.filter.extraParams = {{"P_CDFILIALCF", branch}, {"P_DTCLIENFIL", *since}};
    }
  } else if (k == "DELCACHEPRODUTOSEG") {
    const auto caches = model.deleteCachesOf("PRODUTOSEG");
    if (caches.empty()) throw BadRequest("the central model keeps no delete cache of PRODUTOSEG");
    source.table = caches.front();
    source.targetTable = k;
    source.columns = source.table->deleteCacheOf->keyColumns;
    source.columns.push_back(kDeleteCacheTime);
    source.filter.since = requestDate(valueAt(values, 2));
    source.fromDeleteCacheKeys = true;
  } else {
    throw BadRequest("setGeraArquivo: unknown file kind \"" + kind + "\"");
  }
  return source;
}

std::filesystem::path buildStatementZip(db::Connection& db, const StatementFileRequest& request,
                                        const std::filesystem::path& directory) {
  StatementSource source = statementSource(request.kind, request.branch, request.values);
  const bool whole = request.firstLine == 0 && request.lastLine == 0;
  const int64_t first = whole ? 1 : std::max<int64_t>(1, request.firstLine);
  const int64_t last = whole ? INT64_MAX : request.lastLine;

  TableQuery query = selectRows(*source.table, source.filter);
  const auto statementFile = directory / request.fileName;
  {
    std::ofstream out(statementFile, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + statementFile.string());
    const std::string prefix =
        "INSERT INTO " + source.targetTable + " (" + db::sql::joined(source.columns) + ") VALUES (";
    std::vector<size_t> indexes;
    db::Statement& statement = db.prepare(query.sql);
    statement.bind(query.params);
    auto rows = statement.query();
    if (source.fromDeleteCacheKeys) {
      indexes = {rows->indexOf(kDeleteCacheKey), rows->indexOf(kDeleteCacheTime)};
    } else {
      for (const auto& c : source.columns) indexes.push_back(rows->indexOf(c));
    }
    std::string text;
    for (int64_t line = 1; line <= last && rows->next(); ++line) {
      if (line < first) continue;
      text = prefix;
      if (source.fromDeleteCacheKeys) {
        const std::string keyText = rows->at(indexes[0]).asText();
        for (size_t i = 0; i + 1 < source.columns.size(); ++i) {
          appendSqlLiteral(text, keyValue(keyText, source.columns[i]));
          text += ", ";
        }
        appendSqlLiteral(text, rows->at(indexes[1]));
      } else {
        for (size_t i = 0; i < indexes.size(); ++i) {
          if (i > 0) text += ", ";
          appendSqlLiteral(text, rows->at(indexes[i]));
        }
      }
      text += ")";
      text += kLineEnd;
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    if (!out.flush()) throw std::runtime_error("cannot write " + statementFile.string());
  }
  auto zip = directory / (request.fileName + ".zip");
  writeZip(zip, {{request.fileName, statementFile}}, kStatementZipPassword);
  std::filesystem::remove(statementFile);
  return zip;
}

}  // namespace central::server
