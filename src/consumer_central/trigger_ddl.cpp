#include "consumer_central/trigger_ddl.h"

namespace consumer_central {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string columnList(const CopyTrigger& trigger, std::string_view prefix) {
  std::string text;
  for (std::string_view column : trigger.columns)
    text += (text.empty() ? "" : ", ") + std::string(prefix) + std::string(column);
  return text;
}

std::string matchTest(const CopyTrigger& trigger) {
  std::string text;
  for (const MatchColumn& column : trigger.match) {
    const std::string name(column.name);
    const std::string equal = "C." + name + " = I." + name;
    if (!text.empty()) text += " AND ";
    text += column.nullsMatch
                ? "(" + equal + " OR (C." + name + " IS NULL AND I." + name + " IS NULL))"
                : equal;
  }
  return text;
}

}  // namespace

std::string createTriggerText(const CopyTrigger& trigger, const CentralNames& names) {
  const std::string central = names.qualified(trigger.centralTable);
  const std::string crlf(kCrLf);
  return "CREATE TRIGGER " + std::string(trigger.name) + " " + crlf + "ON " +
         std::string(trigger.localTable) + " " + crlf + "FOR INSERT " + crlf + "AS " + crlf +
         "BEGIN" + crlf + "INSERT INTO " + central + "(" + columnList(trigger, "") + ")" + crlf +
         "SELECT " + columnList(trigger, "I.") + " FROM INSERTED I" + crlf +
         "WHERE NOT EXISTS(SELECT * FROM " + central + " C WHERE " + matchTest(trigger) + ");" +
         crlf + "END;";
}

}  // namespace consumer_central
