#include "app/controller.h"
#include "app/register_record.h"

namespace app {

bool Controller::VerificaCaixaServidor() {
  bool allowed = false;
  std::unique_ptr<outside::AppServer> netConnexString;
  try {
    netConnexString = connections_.newServer(kRdmExpDados);
    netConnexString->connect();
    std::vector<db::Value> args{slots_.branch(), slots_.cashRegister()};
    const db::Value result = netConnexString->call("getCxServidor", args);
    const auto record = readRegisterRecord(result);
    if (!record) {
      log_.GravaLog("Filial " + slots_.branch() + " ou caixa " + slots_.cashRegister() +
                        " não foram encontrados no servidor",
                    "1");
    } else {
      if (!record->ipServPri.empty()) rewriteIPServer(record->ipServPri);
      allowed = record->idAutoImpTab != "N" || slots_.force() == "ATU";
    }
  } catch (const std::exception& e) {
    log_.GravaLog(
        "Erro na tentativa de conexão com o servidor. Verifique o I.P. da chave IpServer no "
        "regedit",
        "1");
    // The reason tells a refused token or certificate from an unreachable server; no text of
    // the transport holds the token.
    log_.GravaLog(std::string("Motivo: ") + e.what(), "1");
    allowed = false;
  }
  if (netConnexString) netConnexString->disconnect();
  return allowed;
}

void Controller::rewriteIPServer(const std::string& ipServPri) {
  try {
    log_.GravaLog("Início da alteração do  IPServer no Regedit", "1");
    const auto current = package_.setting(outside::Package::kIPServer);
    if (!current || current->asText() != ipServPri)
      package_.writeSetting(outside::Package::kIPServer, outside::RegistryValue::ofText(ipServPri));
    log_.GravaLog("Fim da alteração do IPServer no Regedit", "1");
  } catch (const std::exception&) {
    log_.GravaLog("Falha ao alterar o IPServer no Regedit", "1");
  }
}

}  // namespace app
