#include "schema/messages.h"

#include <stdexcept>

namespace schema {

const outside::Messages& msgDBGeral() {
  static const outside::Messages messages{
      {"DirTmpErro",
       "Erro na criação do diretório temporário utilizado no processo de atualização do cache de "
       "dados local."},
      {"DownloadError",
       "Não foi possível efetuar o download do arquivo contendo os dados para atualização do "
       "cache local!"},
      {"KBytesReceived", " Kbytes recebidos de um total de "},
      {"ErroFTP", "Erro ocorrido: "},
      {"ServFTP", "Dados do Servidor de FTP:"},
      {"AddrFTP", "Endereço: "},
      {"UserFTP", "Usuário: "},
      {"PassFTP", "Senha: "},
      {"PathFTP", "Dir. Virtual FTP: "},
      {"ServDir", "Dir. Físico FTP: "},
      {"MaqLocal", "Dados do Computador Local (destino do FTP):"},
      {"LocalDir", "Dir. Destino FTP: "},
      {"ERRO_CREATEDIR",
       "Não foi possível criar o diretório %s no servidor de aplicação que você está tentando "
       "acessar."},
      {"ERRO_DELFILES",
       "O diretório %s, utilizando pelo servidor de aplicação como local de atualização do cache "
       "de dados, não se encontra vazio e seus arquivos não puderam ser apagados."},
      {"ERRO_ZIP",
       "Os dados do cache que deveriam ser atualizados nessa estação não puderam ser compactados, "
       "no servidor de aplicação, para envio."},
  };
  return messages;
}

std::string msgText(std::string_view key) {
  try {
    return msgDBGeral().Msg(key);
  } catch (const std::out_of_range&) {
    return std::string(key);
  }
}

}  // namespace schema
