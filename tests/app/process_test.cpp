#include <gtest/gtest.h>

#include <cstdio>

#include "app/console_view.h"
#include "app/run_identity.h"
#include "main/close_delay.h"
#include "outside/package/consiste.h"
#include "outside/package/message_box.h"
#include "outside/package/messages.h"
#include "platform/instance_lock.h"
#include "support/temp_dir.h"

namespace app {
namespace {

using platform::InstanceLock;
using testing_support::TempDir;

TEST(InstanceLock, OnlyOneHolderPerIdentity) {
  TempDir dir;
  {
    InstanceLock first("file:/data/loja.db", dir.path());
    EXPECT_TRUE(first.held());
    InstanceLock second("file:/data/loja.db", dir.path());
    EXPECT_FALSE(second.held());
    EXPECT_TRUE(InstanceLock("file:/data/outra.db", dir.path()).held());
  }
  // Released with its holder.
  EXPECT_TRUE(InstanceLock("file:/data/loja.db", dir.path()).held());
  EXPECT_THROW(InstanceLock("file:/data/loja.db", dir.path() / "missing"), std::system_error);
}

TEST(InstanceLock, TwoInstallsAgainstOneDatabaseShareTheirLock) {
  TempDir data;
  const std::string file = (data.path() / "loja.db").string();
  const std::string same = runIdentity("Provider=SQLite;Data Source=" + file, "/opt/caixa1");
  EXPECT_EQ(runIdentity("Provider=SQLite;User ID=dbo;Data Source=" +
                            (data.path() / "x" / ".." / "loja.db").string(),
                        "/opt/caixa2"),
            same);
  EXPECT_NE(runIdentity("Provider=SQLite;Data Source=" + file + "2", "/opt/caixa1"), same);

  const std::string server =
      runIdentity("Provider=SQLOLEDB.1;User ID=sa;Initial Catalog=LOJA;Data Source=SRV01", "/a");
  EXPECT_EQ(
      runIdentity("Provider=SQLNCLI11;Data Source=srv01;Initial Catalog=loja;User ID=x", "/b"),
      server);
  EXPECT_NE(runIdentity("Provider=SQLOLEDB.1;Initial Catalog=LOJA2;Data Source=SRV01", "/a"),
            server);

  // Without a usable string each program directory is its own.
  EXPECT_EQ(runIdentity("", "/opt/caixa1"), "program:/opt/caixa1");
  EXPECT_EQ(runIdentity("Provider=Nada;Data Source=x", "/opt/caixa1"), "program:/opt/caixa1");
}

TEST(CloseDelay, SecondsFromTheEnvironmentWithTheDefaultForAnythingElse) {
  EXPECT_EQ(kivtab::closeDelay(nullptr), std::chrono::seconds(5));
  EXPECT_EQ(kivtab::closeDelay("0"), std::chrono::seconds(0));
  EXPECT_EQ(kivtab::closeDelay("12"), std::chrono::seconds(12));
  for (const char* bad : {"", "-1", "2s", "abc", "99999999999"})
    EXPECT_EQ(kivtab::closeDelay(bad), std::chrono::seconds(5)) << bad;
  EXPECT_EQ(kivtab::cleanupPause(nullptr), std::chrono::seconds(1));
  EXPECT_EQ(kivtab::cleanupPause("0"), std::chrono::seconds(0));
  EXPECT_EQ(kivtab::cleanupPause("x"), std::chrono::seconds(1));
}

std::string shown(ConsoleView::Mode mode, bool hide) {
  std::FILE* out = std::tmpfile();
  ConsoleView view(out, mode);
  view.setHidden(hide);
  view.logLine("07/12/2026 06:35:10 - linha");
  view.progress({1, 25, 2}, {1, 327, 1});
  view.finalMessage("ATUALIZAÇÃO REALIZADA COM SUCESSO", MessageColour::Green);
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  return text;
}

TEST(ConsoleView, PlainLinesTerminalBarsAndHiddenSilence) {
  EXPECT_EQ(shown(ConsoleView::Mode::Plain, false),
            "07/12/2026 06:35:10 - linha\nATUALIZAÇÃO REALIZADA COM SUCESSO\n");
  EXPECT_EQ(shown(ConsoleView::Mode::Plain, true), "");
  const std::string terminal = shown(ConsoleView::Mode::Terminal, false);
  EXPECT_NE(terminal.find("Atualização da Estrutura  das Tabelas do Cache Local"),
            std::string::npos);
  EXPECT_NE(terminal.find("2/25"), std::string::npos);
  EXPECT_NE(terminal.find("\033[1;32mATUALIZAÇÃO REALIZADA COM SUCESSO\033[0m"), std::string::npos);
}

TEST(PackageHelpers, TextHelpersMessagesAndMessageBox) {
  EXPECT_TRUE(outside::EmptyString(""));
  EXPECT_TRUE(outside::EmptyString(" \t\r\n"));
  EXPECT_FALSE(outside::EmptyString(" x "));

  EXPECT_EQ(outside::msgPadrao().Msg("DE"), " de ");
  EXPECT_EQ(outside::msgPadrao().Msg("Caixa_Sem"), "Caixa sem string de conexão.");
  EXPECT_THROW(outside::msgPadrao().Msg("nenhuma"), std::out_of_range);

  std::string seen;
  outside::setMessageSink([&](std::string_view text) { seen = text; });
  outside::Mensagem("E", "falhou", "detalhe");
  EXPECT_EQ(seen, "Erro: falhou\ndetalhe");
  outside::setMessageSink([](std::string_view) {});
}

}  // namespace
}  // namespace app
