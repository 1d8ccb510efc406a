#pragma once

#include <string>
#include <string_view>

namespace consumer_central {

// A regular SQL identifier: a letter or '_', then letters, digits, '_', '@', '$' or '#', at most
// 128 characters. Only such names are written into statement texts unquoted.
bool isIdentifier(std::string_view name);

// Where the branch's central consumer tables live: PARAVEND's NMSQLNAMEDB and NMSQLSCHEMADB.
// Object names cannot be bound as parameters, so both go into statement texts; they are checked
// here, before any statement is built from them.
class CentralNames {
 public:
  // Throws std::invalid_argument naming the PARAVEND column when a name, blanks around it left
  // out, is not an identifier.
  CentralNames(std::string_view database, std::string_view schema);

  const std::string& database() const { return database_; }
  // database.schema.table, the name by which the local connection reaches a central table.
  std::string qualified(std::string_view table) const;

 private:
  std::string database_;
  std::string schema_;
};

}  // namespace consumer_central
