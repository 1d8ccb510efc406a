// The site hooks of a kivtab run, switched per branch on the reference central server.
#include <gtest/gtest.h>

#include "central_server_fixture.h"
#include "db/connect.h"
#include "db/core/connection.h"

namespace {

using testing_support::ProcessResult;

class SiteHooksRun : public testing_support::KivtabRunSuite {
 protected:
  void SetUp() override {
    // The local database and the turnstile's database WSP on one server folder.
    const auto server = home.path() / "srv";
    std::filesystem::create_directories(server);
    conn = "Provider=SQLite;User ID=dbo;Data Source=" + server.string() + ";Initial Catalog=LOJA";
    testing_support::writeFile(
        home.path() / "registry.ini",
        testing_support::kivtabRegistry("127.0.0.1", central_->port(), conn));
    testing_support::prepareLocalDatabase(*db::connect(conn));
    auto wsp =
        db::connect("Provider=SQLite;Data Source=" + server.string() + ";Initial Catalog=WSP");
    wsp->execute("CREATE TABLE PESSOAS (PIN VARCHAR(20), PESHABILITADO INT)");
  }

  void set(const std::string& assignment) {
    const ProcessResult r = testing_support::run(
        {KIVTAB_CENTRAL_EXE, "set", "--db", central_->path(), "--branch", "0001", assignment}, {},
        output.path());
    ASSERT_EQ(r.status, 0) << r.err;
  }

  void kivtab() {
    const ProcessResult r =
        testing_support::run({KIVTAB_EXE, "TABELAS_0001_001_"},
                             testing_support::kivtabEnvironment(home.path()), output.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  }

  bool exists(const std::string& name, const std::string& type) {
    auto local = db::connect(conn);
    auto rows = local->query("SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME = :P_NAME AND TYPE = :P_T",
                             {{"P_NAME", name}, {"P_T", type}});
    rows->next();
    return rows->at(0).asInt() == 1;
  }

  bool logged(const std::string& message) {
    for (const auto& line : testing_support::runLogLines(home.path()))
      if (line.size() > 22 && line.substr(22) == message) return true;
    return false;
  }
};

TEST_F(SiteHooksRun, TheBranchsTurnstileSettingDecidesWhichObjectsTheNextRunInstalls) {
  kivtab();
  EXPECT_FALSE(exists("UTILIZA_TRILOBIT", "TR"));
  EXPECT_FALSE(exists("ACESSO", "P"));
  EXPECT_TRUE(exists("RETORNA_CONS_ATIVO", "V"));
  EXPECT_TRUE(logged("Aplicada View RETORNA_CONS_ATIVO"));
  EXPECT_FALSE(logged("Etapa não incluída neste programa: ArredondaPrecoDia"));

  set("PARAVEND.IDUTILTRILOBIT=S");
  kivtab();
  EXPECT_TRUE(logged("Aplicada Constraint UTILIZA_TRILOBIT"));
  EXPECT_TRUE(exists("UTILIZA_TRILOBIT", "TR"));

  set("PARAVEND.IDUTILTRILOBIT=T");
  kivtab();
  EXPECT_FALSE(exists("UTILIZA_TRILOBIT", "TR"));
  EXPECT_TRUE(exists("ACESSO", "P"));
}

}  // namespace
