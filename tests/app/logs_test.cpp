#include <gtest/gtest.h>

#include <vector>

#include "app/error_log.h"
#include "app/run_log.h"
#include "fakes.h"
#include "support/temp_dir.h"

namespace app {
namespace {

using testing_support::readFile;
using testing_support::TempDir;

using testing_support::RecordingView;

class Logs : public ::testing::Test {
 protected:
  db::DateTime now = db::DateTime::fromParts(2026, 12, 7, 6, 35, 10);
  Clock clock = [this] { return now; };
  TempDir dir;
};

TEST_F(Logs, RunLogWritesDailyFileInCodePage1252WithCrLf) {
  std::filesystem::create_directories(RunLog::directoryBelow(dir.path()));
  RunLog log(dir.path(), clock);
  RecordingView view;
  log.setView(&view);
  log.GravaLog("Parâmetro da Baixa de Tabelas: TABELAS", "3");
  log.GravaLog("segunda", "3");

  const auto file = dir.path() / "Dados" / "Kiv_Tab" / "Kiv_Tab071226.txt";
  EXPECT_EQ(readFile(file),
            "07/12/2026 06:35:10 - Par\xE2metro da Baixa de Tabelas: TABELAS\r\n"
            "07/12/2026 06:35:10 - segunda\r\n");
  ASSERT_EQ(view.lines.size(), 2u);
  EXPECT_EQ(view.lines[0], "07/12/2026 06:35:10 - Parâmetro da Baixa de Tabelas: TABELAS");

  // Past midnight the next line goes to the new day's file.
  const std::string firstDay = readFile(file);
  now = db::DateTime::fromParts(2026, 12, 8, 0, 0, 1);
  log.GravaLog("depois da meia-noite", "3");
  EXPECT_EQ(readFile(dir.path() / "Dados" / "Kiv_Tab" / "Kiv_Tab081226.txt"),
            "08/12/2026 00:00:01 - depois da meia-noite\r\n");
  EXPECT_EQ(readFile(file), firstDay);
}

TEST_F(Logs, LevelsAdvanceTheirBarUpToItsMaximum) {
  std::filesystem::create_directories(RunLog::directoryBelow(dir.path()));
  RunLog log(dir.path(), clock);
  RecordingView view;
  log.setView(&view);
  for (int i = 0; i < 30; ++i) log.GravaLog("estrutura", "1");
  log.GravaLog("tabela", "2");
  log.GravaLog("outro", "3");
  log.GravaLog("desconhecido", "x");
  EXPECT_EQ(log.prgEstrutura().position, RunLog::kEstruturaMax);
  EXPECT_EQ(log.prgTabelas().position, 2);
  EXPECT_EQ(view.estrutura.position, 25);
  EXPECT_EQ(view.tabelas.position, 2);
  EXPECT_EQ(view.tabelas.max, 327);
}

TEST_F(Logs, RunLogFailureRaisesBeforeTheViewIsTouched) {
  RunLog log(dir.path() / "missing", clock);
  RecordingView view;
  log.setView(&view);
  EXPECT_THROW(log.GravaLog("perdida", "1"), LogError);
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(log.prgEstrutura().position, 1);
}

TEST_F(Logs, ErrorLogNameBannerAndAppendedEntries) {
  ErrorLog errors(dir.path(), clock);
  const auto file = dir.path() / " de 7_12_2026_0001_001_.log";
  EXPECT_EQ(errors.fileFor(now, "0001", "001"), file);

  errors.GravaLogErro("0001", "001", "Caixa sem string de conexão.", "Carga");
  now = now.addMs(1000);
  errors.GravaLogErro("0001", "001", "segundo erro", "Carga");

  const std::string rule = std::string(25, ' ') + std::string(76, '=') + std::string(21, ' ');
  const std::string title = std::string(25, ' ') + "|" + std::string(15, ' ') +
                            "Log de erros - Sistema de Exporta\xE7\xE3o de Dados" +
                            std::string(15, ' ') + "|" + std::string(20, ' ');
  const std::string blank125(125, ' ');
  EXPECT_EQ(readFile(file),
            rule + "\r\n" + title + "\r\n" + rule + "\r\n" + blank125 + "\r\n" +
                "07/12/2026 06:35:10 -  A\xE7\xE3o : Carga -  Erro: Caixa sem string de "
                "conex\xE3o. -  Filial: 0001 -  -  Caixa: 001\r\n" +
                blank125 + "\r\n" +
                "07/12/2026 06:35:11 -  A\xE7\xE3o : Carga -  Erro: segundo erro -  Filial: "
                "0001 -  -  Caixa: 001\r\n");
  // Nothing but the log itself is left in the directory.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(Logs, ErrorLogKeepsAnExistingFileWithoutFinalLineBreak) {
  ErrorLog errors(dir.path(), clock);
  const auto file = errors.fileFor(now, "0002", "010");
  testing_support::writeFile(file, "linha antiga");
  errors.GravaLogErro("0002", "010", "e", "a");
  const std::string text = readFile(file);
  EXPECT_EQ(text.rfind("linha antiga\r\n" + std::string(125, ' ') + "\r\n", 0), 0u);
  EXPECT_EQ(text.find("====="), std::string::npos);
}

}  // namespace
}  // namespace app
