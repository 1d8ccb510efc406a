#include "app/error_log.h"

#include <fstream>
#include <sstream>

#include "db/core/text.h"
#include "outside/package/messages.h"
#include "platform/replace_file.h"

namespace app {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBannerTitle =
    "                         |               Log de erros - Sistema de Exportação de Dados  "
    "             |                    ";

std::string bannerRule() {
  return std::string(25, ' ') + std::string(76, '=') + std::string(21, ' ');
}

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw LogError("cannot read the error log " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ErrorLog::ErrorLog(std::filesystem::path programDirectory, Clock clock)
    : directory_(std::move(programDirectory)), clock_(std::move(clock)) {}

std::filesystem::path ErrorLog::fileFor(db::DateTime day, std::string_view branch,
                                        std::string_view cashRegister) const {
  const auto parts = day.parts();
  return directory_ / (outside::msgPadrao().Msg("DE") + std::to_string(parts.day) + "_" +
                       std::to_string(parts.month) + "_" + std::to_string(parts.year) + "_" +
                       std::string(branch) + "_" + std::string(cashRegister) + "_" + ".log");
}

void ErrorLog::GravaLogErro(std::string_view branch, std::string_view cashRegister,
                            std::string_view errorText, std::string_view actionText) {
  const db::DateTime now = clock_();
  const std::filesystem::path path = fileFor(now, branch, cashRegister);

  std::string content;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    content = readAll(path);
    if (!content.empty() && content.back() != '\n') content += kCrLf;
  } else {
    const std::string rule = bannerRule();
    content = rule + std::string(kCrLf) + db::utf8ToCp1252(kBannerTitle) + std::string(kCrLf) +
              rule + std::string(kCrLf);
  }
  const std::string entry = logTimestamp(now) + " - " + " Ação : " + std::string(actionText) +
                            " - " + " Erro: " + std::string(errorText) + " - " +
                            " Filial: " + std::string(branch) + " - " + " - " +
                            " Caixa: " + std::string(cashRegister);
  content +=
      std::string(125, ' ') + std::string(kCrLf) + db::utf8ToCp1252(entry) + std::string(kCrLf);

  try {
    platform::replaceFile(path, content);
  } catch (const std::runtime_error& e) {
    throw LogError(std::string("error log: ") + e.what());
  }
}

}  // namespace app
