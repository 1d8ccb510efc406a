#include "db/core/connection_string.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "db/core/text.h"

namespace db {
namespace {

constexpr std::string_view kUserIdMark = "USER ID=";
constexpr size_t kLoginSearchReach = 255;
constexpr std::string_view kCatalogMark = "CATALOG=";
constexpr std::string_view kDataSourceMark = "DATA SOURCE=";

// The Data Source of a private in-memory embedded database, which has no server folder.
constexpr std::string_view kPrivateMemory = ":memory:";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads a value quoted with `quote` starting at s[pos] (the opening quote); a doubled closing
// character stands for itself. Leaves pos after the closing quote.
std::string readQuoted(std::string_view s, size_t& pos, char close, size_t itemNumber) {
  std::string out;
  for (++pos; pos < s.size(); ++pos) {
    if (s[pos] != close) {
      out += s[pos];
    } else if (pos + 1 < s.size() && s[pos + 1] == close) {
      out += close;
      ++pos;
    } else {
      ++pos;
      return out;
    }
  }
  throw std::invalid_argument("connection string item " + std::to_string(itemNumber) +
                              " has an unterminated quoted value");
}

// "Key=Value", the value quoted when it holds ';' or quotes or has edge blanks.
std::string itemText(const std::string& key, const std::string& value) {
  const bool quote =
      value.find_first_of(";'\"") != std::string::npos || trim(value).size() != value.size();
  if (!quote) return key + "=" + value;
  std::string quoted;
  for (char c : value) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return key + "='" + quoted + "'";
}

enum class ProviderKind { Embedded, SqlServer, Oracle, Odbc };

struct ProviderRule {
  std::string_view name;  // upper case, without a trailing ".N" version
  bool prefix;            // true when versioned names such as SQLNCLI11 also match
  ProviderKind kind;
};

constexpr std::array kProviders{
    ProviderRule{"SQLITE", false, ProviderKind::Embedded},
    ProviderRule{"SQLOLEDB", false, ProviderKind::SqlServer},
    ProviderRule{"SQLNCLI", true, ProviderKind::SqlServer},
    ProviderRule{"MSOLEDBSQL", true, ProviderKind::SqlServer},
    ProviderRule{"MSDAORA", false, ProviderKind::Oracle},
    ProviderRule{"ORAOLEDB.ORACLE", false, ProviderKind::Oracle},
    ProviderRule{"ODBC", false, ProviderKind::Odbc},
    ProviderRule{"MSDASQL", false, ProviderKind::Odbc},
};

// "SQLOLEDB.1" -> "SQLOLEDB"; "MSDAORA" stays.
std::string providerBaseName(std::string_view provider) {
  std::string name = upper(trim(provider));
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot + 1 < name.size() &&
      name.find_first_not_of("0123456789", dot + 1) == std::string::npos)
    name.erase(dot);
  return name;
}

std::optional<ProviderKind> providerKind(std::string_view provider) {
  const std::string name = providerBaseName(provider);
  for (const auto& rule : kProviders) {
    if (rule.prefix ? name.starts_with(rule.name) : name == rule.name) return rule.kind;
  }
  return std::nullopt;
}

std::optional<std::string> firstOf(const std::vector<ConnectionItem>& items,
                                   std::initializer_list<std::string_view> keys) {
  for (auto key : keys)
    if (auto v = findConnectionValue(items, key)) return v;
  return std::nullopt;
}

std::string requireDataSource(const std::vector<ConnectionItem>& items) {
  auto source = firstOf(items, {"Data Source", "Server"});
  if (!source || trim(*source).empty())
    throw std::invalid_argument("connection string names no Data Source");
  return std::string(trim(*source));
}

// The start of a driver's ODBC connection string: the driver, and the Data Source under `key`.
std::string driverAndSource(const std::string& driver, std::string_view key,
                            const std::vector<ConnectionItem>& items) {
  return "DRIVER={" + driver + "};" + odbcItem(key, requireDataSource(items));
}

bool isTrue(std::string_view v) {
  const std::string s = upper(trim(v));
  return s == "SSPI" || s == "TRUE" || s == "YES" || s == "1";
}

std::optional<int> loginTimeout(const std::vector<ConnectionItem>& items) {
  auto v = firstOf(items, {"Connect Timeout", "Connection Timeout"});
  if (!v) return std::nullopt;
  try {
    size_t used = 0;
    const int seconds = std::stoi(std::string(trim(*v)), &used);
    if (used == trim(*v).size() && seconds >= 0) return seconds;
  } catch (const std::exception&) {
  }
  throw std::invalid_argument("Connect Timeout must be a number of seconds");
}

void appendCredentials(const std::vector<ConnectionItem>& items, std::string& odbc,
                       EngineTarget& target) {
  if (auto user = firstOf(items, {"User ID", "UID"})) odbc += odbcItem("UID", *user);
  if (auto password = firstOf(items, {"Password", "PWD"})) {
    odbc += odbcItem("PWD", *password);
    target.password = *password;
  }
}

// The names a client gives the server about itself: HOST_NAME() and APP_NAME() answer them.
void readClientNames(const std::vector<ConnectionItem>& items, EngineTarget& target) {
  if (auto v = firstOf(items, {"Workstation ID", "WSID"})) target.workstationId = trim(*v);
  if (auto v = firstOf(items, {"Application Name", "APP"})) target.applicationName = trim(*v);
}

void appendClientNames(const EngineTarget& target, std::string& odbc) {
  if (!target.applicationName.empty()) odbc += odbcItem("APP", target.applicationName);
  if (!target.workstationId.empty()) odbc += odbcItem("WSID", target.workstationId);
}

EngineTarget embeddedTarget(const std::vector<ConnectionItem>& items) {
  EngineTarget target;
  target.kind = EngineKind::Embedded;
  target.path = requireDataSource(items);
  if (auto catalog = firstOf(items, {"Initial Catalog", "Database"}))
    target.catalog = trim(*catalog);
  readClientNames(items, target);
  if (auto user = findConnectionValue(items, "User ID"); user && !trim(*user).empty())
    target.user = std::string(trim(*user));
  else
    target.user = "dbo";
  if (auto create = findConnectionValue(items, "Create")) {
    const std::string c = upper(trim(*create));
    target.create = !(c == "NO" || c == "FALSE" || c == "0" || c == "N");
  }
  return target;
}

EngineTarget sqlServerTarget(const std::vector<ConnectionItem>& items, const OdbcDrivers& drivers) {
  EngineTarget target;
  target.kind = EngineKind::SqlServerOdbc;
  std::string odbc = driverAndSource(drivers.sqlServer, "SERVER", items);
  if (auto database = firstOf(items, {"Initial Catalog", "Database"}))
    odbc += odbcItem("DATABASE", *database);
  if (auto integrated = findConnectionValue(items, "Integrated Security");
      integrated && isTrue(*integrated))
    odbc += "Trusted_Connection=Yes;";
  else
    appendCredentials(items, odbc, target);
  readClientNames(items, target);
  appendClientNames(target, odbc);
  // FreeTDS hands texts over in the server's code page unless told otherwise.
  if (upper(drivers.sqlServer).find("FREETDS") != std::string::npos) odbc += "ClientCharset=UTF-8;";
  target.odbc = odbc;
  target.loginTimeoutSeconds = loginTimeout(items);
  return target;
}

EngineTarget oracleTarget(const std::vector<ConnectionItem>& items, const OdbcDrivers& drivers) {
  EngineTarget target;
  target.kind = EngineKind::OracleOdbc;
  std::string odbc = driverAndSource(drivers.oracle, "DBQ", items);
  appendCredentials(items, odbc, target);
  target.odbc = odbc;
  target.loginTimeoutSeconds = loginTimeout(items);
  return target;
}

EngineTarget odbcTarget(const std::vector<ConnectionItem>& items, std::string odbc) {
  EngineTarget target;
  target.kind = EngineKind::Odbc;
  target.odbc = std::move(odbc);
  if (auto password = firstOf(items, {"PWD", "Password"})) target.password = *password;
  target.loginTimeoutSeconds = loginTimeout(items);
  return target;
}

}  // namespace

std::vector<ConnectionItem> parseConnectionString(std::string_view s) {
  std::vector<ConnectionItem> items;
  size_t pos = 0;
  while (pos < s.size()) {
    while (pos < s.size() && (isSpace(s[pos]) || s[pos] == ';')) ++pos;
    if (pos == s.size()) break;
    const size_t itemNumber = items.size() + 1;
    const size_t eq = s.find('=', pos);
    const size_t semicolon = s.find(';', pos);
    if (eq == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < eq))
      throw std::invalid_argument("connection string item " + std::to_string(itemNumber) +
                                  " has no '='");
    ConnectionItem item;
    item.key = std::string(trim(s.substr(pos, eq - pos)));
    if (item.key.empty())
      throw std::invalid_argument("connection string item " + std::to_string(itemNumber) +
                                  " has no key");
    pos = eq + 1;
    while (pos < s.size() && isSpace(s[pos])) ++pos;
    if (pos < s.size() && (s[pos] == '\'' || s[pos] == '"' || s[pos] == '{')) {
      const char close = s[pos] == '{' ? '}' : s[pos];
      item.value = readQuoted(s, pos, close, itemNumber);
      while (pos < s.size() && isSpace(s[pos])) ++pos;
      if (pos < s.size() && s[pos] != ';')
        throw std::invalid_argument("connection string item " + std::to_string(itemNumber) +
                                    " has text after its quoted value");
    } else {
      const size_t end = s.find(';', pos);
      item.value =
          std::string(trim(s.substr(pos, end == std::string_view::npos ? s.npos : end - pos)));
      pos = end == std::string_view::npos ? s.size() : end;
    }
    items.push_back(std::move(item));
  }
  return items;
}

std::optional<std::string> findConnectionValue(const std::vector<ConnectionItem>& items,
                                               std::string_view key) {
  for (auto it = items.rbegin(); it != items.rend(); ++it)
    if (iequals(it->key, key)) return it->value;
  return std::nullopt;
}

std::string loginName(std::string_view connectionString) {
  const std::string upperString = upper(connectionString);
  const size_t mark = upperString.find(kUserIdMark);
  if (mark == std::string::npos) return {};
  const size_t start = mark + kUserIdMark.size();
  const std::string_view reach = std::string_view(upperString).substr(start, kLoginSearchReach);
  const size_t end = reach.find(';');
  if (end == std::string_view::npos) return {};
  return std::string(reach.substr(0, end));
}

std::string replaceCatalog(std::string_view connectionString, std::string_view database) {
  if (trim(database).empty()) throw std::invalid_argument("the database name is empty");
  if (database.find(';') != std::string_view::npos)
    throw std::invalid_argument("the database name '" + std::string(database) + "' holds a ';'");
  const std::string upperString = upper(connectionString);
  const size_t catalog = upperString.find(kCatalogMark);
  if (catalog == std::string::npos)
    throw std::invalid_argument("the connection string has no \"Catalog=\" to replace");
  const size_t source = upperString.find(kDataSourceMark);
  if (source == std::string::npos)
    throw std::invalid_argument("the connection string has no \"Data Source=\"");
  if (source < catalog)
    throw std::invalid_argument(
        "\"Data Source=\" stands before \"Catalog=\" in the connection string");
  std::string out(connectionString.substr(0, catalog + kCatalogMark.size()));
  out += database;
  out += ';';
  out += connectionString.substr(source);
  return out;
}

std::string withProvider(std::string_view connectionString, std::string_view provider) {
  std::string out = "Provider=" + std::string(provider);
  for (const auto& item : parseConnectionString(connectionString)) {
    if (iequals(item.key, "Provider")) continue;
    out += ";" + itemText(item.key, item.value);
  }
  return out;
}

std::string siblingConnectionString(std::string_view connectionString, std::string_view database) {
  std::string sibling = replaceCatalog(connectionString, database);
  EngineTarget target;
  try {
    target = mapConnectionString(sibling);
  } catch (const std::invalid_argument&) {
    return sibling;  // connecting names the fault
  }
  if (target.kind != EngineKind::Embedded || target.path == kPrivateMemory) return sibling;
  const std::filesystem::path path(target.path);
  const bool otherFile =
      !std::filesystem::is_directory(path) && !iequals(path.stem().string(), database);
  const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
  std::string out;
  for (const auto& item : parseConnectionString(sibling)) {
    if (iequals(item.key, "Create")) continue;
    const bool source = iequals(item.key, "Data Source") || iequals(item.key, "Server");
    if (!out.empty()) out += ";";
    out += itemText(item.key, source && otherFile ? folder : item.value);
  }
  return out + ";Create=No";
}

OdbcDrivers OdbcDrivers::fromEnvironment() {
  OdbcDrivers drivers;
  if (const char* v = std::getenv("KIVTAB_ODBC_SQLSERVER_DRIVER"); v && *v) drivers.sqlServer = v;
  if (const char* v = std::getenv("KIVTAB_ODBC_ORACLE_DRIVER"); v && *v) drivers.oracle = v;
  return drivers;
}

EngineTarget mapConnectionString(std::string_view adoConnectionString, const OdbcDrivers& drivers) {
  const auto items = parseConnectionString(adoConnectionString);
  const auto provider = findConnectionValue(items, "Provider");
  if (!provider) {
    if (findConnectionValue(items, "Driver") || findConnectionValue(items, "DSN"))
      return odbcTarget(items, std::string(adoConnectionString));
    throw std::invalid_argument("connection string names no Provider, Driver or DSN");
  }
  const auto kind = providerKind(*provider);
  if (!kind) throw std::invalid_argument("unknown provider '" + std::string(trim(*provider)) + "'");
  switch (*kind) {
    case ProviderKind::Embedded:
      return embeddedTarget(items);
    case ProviderKind::SqlServer:
      return sqlServerTarget(items, drivers);
    case ProviderKind::Oracle:
      return oracleTarget(items, drivers);
    case ProviderKind::Odbc:
      break;
  }
  std::string odbc;
  for (const auto& item : items)
    if (!iequals(item.key, "Provider")) odbc += odbcItem(item.key, item.value);
  if (odbc.empty()) throw std::invalid_argument("the ODBC connection string is empty");
  return odbcTarget(items, std::move(odbc));
}

std::string odbcItem(std::string_view key, std::string_view value) {
  const bool brace = value.find_first_of(";{}") != std::string_view::npos ||
                     (!value.empty() && (isSpace(value.front()) || isSpace(value.back())));
  std::string out(key);
  out += '=';
  if (!brace) {
    out += value;
  } else {
    out += '{';
    for (char c : value) {
      out += c;
      if (c == '}') out += '}';
    }
    out += '}';
  }
  out += ';';
  return out;
}

bool sameEmbeddedDatabase(std::string_view a, std::string_view b) {
  try {
    const EngineTarget first = mapConnectionString(a);
    const EngineTarget second = mapConnectionString(b);
    if (first.kind != EngineKind::Embedded || second.kind != EngineKind::Embedded) return false;
    if (std::filesystem::weakly_canonical(first.path) !=
        std::filesystem::weakly_canonical(second.path))
      return false;
    // A server folder holds several databases: the catalog tells them apart.
    return !std::filesystem::is_directory(first.path) || iequals(first.catalog, second.catalog);
  } catch (const std::exception&) {
    return false;  // a string that leads nowhere leads to no database of the other
  }
}

}  // namespace db
