#pragma once

#include <string>
#include <string_view>

// The SQL texts of the central consumer setups, named after the components that hold them.
// Texts holding the central database's name are built at run time (central_tables.cpp).
namespace consumer_central::sql {

// adqColunasDebCons, adqColunasExtCons: the columns of the local table P_TABELA owned by login
// P_OWNER, as the structure update reads them, except that VARCHAR(MAX) is named so and CHAR
// defaults lose their quotes' parentheses as VARCHAR ones do.
const std::string& columnsOfTable();
// adqColunasSenCons: the same for CONSUMIDOR, only the columns SENHACONS keeps, by name.
const std::string& columnsOfPasswords();

// adqIndiceDebCons, adqIndiceExtCons and, on the central connection, adqIndiceDebConsCent:
// INDEX_NAME, COL_NAME, DESCEND of the table P_TABELA's indexes, in name and key order, without
// the indexes the central tables never take.
const std::string& indexesOfTable();
// adqIndiceSenCons: the same for CONSUMIDOR, restricted to the key columns SENHACONS keeps.
const std::string& indexesOfPasswords();

// The central MOVICLIE's primary key made to hold CDFILIAL.
inline constexpr std::string_view kDropPkMoviclie =
    "ALTER TABLE MOVICLIE DROP CONSTRAINT PK_MOVICLIE";
inline constexpr std::string_view kAddPkMoviclie =
    "ALTER TABLE MOVICLIE ADD CONSTRAINT PK_MOVICLIE PRIMARY KEY (CDCLIENTE, NRSEQMOVCLI, "
    "CDFILIAL)";

// A procedure of that name (P_NAME) in the database connected.
inline constexpr std::string_view kExisteProcedure =
    "SELECT 1 FROM SYSOBJECTS WHERE NAME = :P_NAME AND TYPE = 'P'";

// The organisation-number default, blanks removed and lower-cased.
inline constexpr std::string_view kOrganisationDefault = "sys_context('nrorg_ctx','nrorg')";

}  // namespace consumer_central::sql
