#include "download/anticipation/consumer_columns.h"

#include <array>
#include <string_view>

namespace download {

const std::string& consumerTempColumns() {
  static constexpr std::array<std::string_view, 63> kColumns{
      "CDCLIENTE",       "CDCONSUMIDOR",    "NMCONSUMIDOR",   "VRLIMDEBCONS",
      "IDSITCONSUMI",    "CDPAIS",          "SGESTADO",       "CDMUNICIPIO",
      "CDTIPOCONS",      "CDCCUSCLIE",      "CDIDCONSUMID",   "CDEXCONSUMID",
      "DSENDECONS",      "NMBAIRCONS",      "NRCEPCONS",      "NRTELECONS",
      "IDVERSALDCON",    "VRMESUBCONS",     "IDCONSUMIDOR",   "DTULTATUCSUM",
      "IDATUCONSUMI",    "NRCPFRESPCON",    "NMRESPCONS",     "VRMAXDEBCONS",
      "VRLIMCREDCONS",   "VRAVICREDCONS",   "VRMAXCREDCONS",  "VRDIASUBCONS",
      "DSCOMPLENDECONS", "DSREFERENDECONS", "CDBAIRRO",       "IDTPVENDACONS",
      "IDCADCONFLIBCON", "IDPERCONSPRODEX", "NRENDECONS",     "IDTPSELMANHA",
      "IDTPSEALMOCO",    "IDTPSELTARDE",    "IDCRACHAMESTRE", "DTCRIACONS",
      "DTATIVACAO",      "DTBLOQUEIO",      "VRSUBSBASICO",   "IDATUCPFCONS",
      "NMLOGINCONS",     "CDSENHASITE",     "DIGICONSUMIDOR", "CDSENHACONSMD5",
      "DIGICONSUMIDOR2", "IDBLOQSALDFS",    "CDSENHACONS",    "IDSEXOCONS",
      "VRAVIDEBCONS",    "VRMAXCONSMENSAL", "CDCONSVINCULO",  "IDIMPCPFCUPOM",
      "DSINFOCONS",      "IDATUCONSONLINE", "CDCARTAOMIFARE", "DTVALIDADECONSUMIDOR",
      "CDSENHAPOSMD5",   "NRTELE2CONS",     "NRCELULARCONS",
  };
  static const std::string list = [] {
    std::string joined;
    for (std::string_view column : kColumns) {
      if (!joined.empty()) joined += ", ";
      joined += column;
    }
    return joined;
  }();
  return list;
}

}  // namespace download
