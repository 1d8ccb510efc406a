#pragma once

#include <string_view>

// Statements the run controller sends to the local database.
namespace app::sql {

inline constexpr std::string_view kDadosFilial = "SELECT CDFILIAL FROM  FILIAL";
inline constexpr std::string_view kDadosParavend =
    "SELECT NMSQLNAMEDB, NMSQLSCHEMADB, IDDEBCONSCENTRAL, IDEXTCONSCENTRAL, IDSENCONSCENTRAL "
    "FROM PARAVEND WHERE CDFILIAL = :P_CDFILIAL";

// The type of KDSOPERACAOTEMP.DSOPERACAO from the catalogue views of SQL Server 2005 and later.
inline constexpr std::string_view kTipoTabela =
    "SELECT T.name AS Tipo FROM sys.columns C INNER JOIN sys.objects O ON O.object_id = "
    "C.object_id INNER JOIN sys.types T ON T.user_type_id = C.user_type_id WHERE O.name = "
    "'KDSOPERACAOTEMP' AND C.name = 'DSOPERACAO'";
// VARBINARY(MAX): a bare VARBINARY is one byte wide and refuses any stored image.
inline constexpr std::string_view kUpdImage =
    "ALTER TABLE KDSOPERACAOTEMP ALTER COLUMN DSOPERACAO VARBINARY(MAX) NULL";
inline constexpr std::string_view kUpdVarBinary =
    "ALTER TABLE KDSOPERACAOTEMP ALTER COLUMN DSOPERACAO VARCHAR(MAX) NULL";

// A run that was stopped (killed, switched off) never wrote its outcome; only one run at a time
// works on a local database, so a row still executing when a run starts belongs to a dead one.
inline constexpr std::string_view kStoppedRunsFailed =
    "UPDATE CTRLEXECREM SET IDSTCTRLEXECREM = 'NOK', DTULTATU = GETDATE() WHERE CDAPP = 'KIVTAB' "
    "AND IDSTCTRLEXECREM = 'E'";
inline constexpr std::string_view kIniVerifTab =
    "UPDATE CTRLEXECREM SET CDAPP = 'KIVTAB', TPOPERACAO = 'ATUALIZA_EXTRUTURA', "
    "IDSTCTRLEXECREM = 'E', DTINICIO = GETDATE() WHERE IDCTRLEXECREM = :IDCTRLEXECREM";
inline constexpr std::string_view kUpdStatusTab =
    "UPDATE CTRLEXECREM SET TPOPERACAO = :TPOPERACAO WHERE IDCTRLEXECREM = :IDCTRLEXECREM";
inline constexpr std::string_view kUpdVerifTab =
    "UPDATE CTRLEXECREM SET IDSTCTRLEXECREM = :IDSTCTRLEXECREM, DTULTATU = GETDATE() WHERE "
    "IDCTRLEXECREM = :IDCTRLEXECREM";

}  // namespace app::sql
