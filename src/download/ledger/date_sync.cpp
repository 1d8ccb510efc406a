#include "download/ledger/date_sync.h"

#include <array>
#include <exception>
#include <vector>

#include "download/ledger/statements.h"

namespace download {
namespace {

enum class Args { BranchAndRegister, Branch, None };

struct Comparison {
  std::string_view table;
  std::string_view localQuery;
  std::string_view method;
  Args args;
  std::string_view closingLine;
};

constexpr std::string_view kStars = "***************************************";
constexpr std::array<Comparison, 4> kComparisons{{
    {"ITMENUCONFTE", sql::kDtMsdeMenu, "getDtMaxITMENUCONFTE", Args::BranchAndRegister, kStars},
    {"ITEMPRECO", sql::kDtMsdeItemPreco, "getDtMaxItemPreco", Args::Branch,
     "******************************************"},
    {"ITEMPRECODIA", sql::kDtMsdeItemPrecoDia, "getDtMaxItemPrecoDia", Args::Branch, kStars},
    {"DESGRUPROMOCPR", sql::kDtMsdeDesGruPromocPr, "getDtMaxDESGRUPROMOCPR", Args::None, kStars},
}};

std::string remoteText(const db::Value& value) {
  if (value.kind() == db::Value::Kind::Text) {
    if (auto parsed = db::DateTime::parse(value.getText())) return dateTimeText(*parsed);
    return value.getText();
  }
  return dateTimeText(value);
}

}  // namespace

std::string dateTimeText(const db::Value& value) {
  if (value.isNull()) return {};
  return value.asDateTime().format("dd/mm/yyyy hh:nn:ss");
}

void sincronizaDatas(db::Connection& conn, outside::AppServer& server, const Services& s,
                     std::string_view cdFilial, std::string_view cdCaixa) {
  s.info("----------------------");
  s.info("Sincronização de datas (Oracle / SQL): ");
  const std::string branch(cdFilial);
  const std::string reg(cdCaixa);
  for (const auto& c : kComparisons) {
    try {
      s.info(c.table);
      auto& local = conn.prepare(c.localQuery);
      if (c.args == Args::BranchAndRegister) local.bind("P_CDCAIXA", cdCaixa);
      auto rows = local.query();
      const std::string msde = rows->next() ? dateTimeText(rows->at(0)) : std::string();
      s.info("MSDE: " + msde);

      std::vector<db::Value> args;
      if (c.args != Args::None) args.emplace_back(branch);
      if (c.args == Args::BranchAndRegister) args.emplace_back(reg);
      const std::string oracle = remoteText(server.call(c.method, args));
      s.info("Oracle: " + oracle);

      if (msde != oracle) {
        s.info("****************** ATENCAO ***************");
        s.info("Data hora MSDE diferente da data hora do Oracle!");
        std::string parameters = "Parâmetros " + std::string(c.method) + ": FILIAL->" + branch;
        if (c.args == Args::BranchAndRegister) parameters += " CAIXA->" + reg;
        s.info(parameters);
        s.info(c.closingLine);
      }
    } catch (const std::exception& e) {
      s.info("Exceção na sincronização de datas: " + std::string(e.what()));
    }
    s.info("----------------------");
  }
}

}  // namespace download
