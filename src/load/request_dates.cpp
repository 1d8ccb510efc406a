#include "load/request_dates.h"

#include <array>

#include "download/ledger/control_ledger.h"
#include "load/load_sql.h"

namespace load {

namespace {

// Slots the control ledger fills (and CONFTELA, read per register below).
constexpr std::array<size_t, 12> kNotHere = {0, 1, 4, 5, 11, 12, 20, 45, 51, 55, 109, 111};
constexpr size_t kConfTelaSlot = 45;

bool readHere(size_t slot) {
  for (size_t skipped : kNotHere) {
    if (skipped == slot) return false;
  }
  return true;
}

std::string countMaxSql(const DateSlot& slot) {
  return std::string(sql::kCountMaxPrefix) + std::string(slot.column) + ") AS DTULTATU FROM " +
         std::string(slot.table);
}

void storeDates(db::Connection& conn, const std::string& text, const db::Params& params,
                size_t position, download::RequestVectors& vectors, db::DateTime now) {
  auto rows = conn.query(text, params);
  const bool any = rows->next();
  const int64_t count = any ? rows->at(0).asInt() : 0;
  const db::Value date = any ? rows->at(1) : db::Value();
  vectors.vDatasControle.at(position) = download::dataPedido(count, 1, date, now);
  vectors.vDatasBase.at(position) = download::dataPedido(count, 2, date, now);
}

}  // namespace

const std::vector<DateSlot>& dateSlots() {
  static const std::vector<DateSlot> slots = {

      {"ITEMPRECO", "DTULTATUITPR"},
      {"ITMENUCONFTE", "DTULTATUITCT"},
      {"PRODOCORRE", "DTULTATUPOCO"},
      {"PRODLOJA", "DTULTATUPLOJ"},
      {"CONSUMIDOR", "DTULTATUCSUM"},
      {"PRODUTO", "DTULTATUPROD"},
      {"ALIQIMPFIS", "DTULTATUALIF"},
      {"CLIENTE", "DTULTATUCLIE"},
      {"CLIENFILIAL", "DTULTATUCLIF"},
      {"CDBARRAPROD", "DTULTATUCBAP"},
      {"PRODUTOSEG", "DTULTATUPSEG"},
      {"EXTRATOCONS", "DTULTATUEXT"},
      {"MOVICLIE", "DTULTATUMCLI"},
      {"TABEPREC", "DTULTATUTBPR"},
      {"TABEVEND", "DTULTATUTBVE"},
      {"SALA", "DTULTATUSALA"},
      {"PARAMGERAL", "DTULTATUPGER"},
      {"FILIOPER", "DTULTATUFOPE"},
      {"GRUPOCOR", "DTULTATUGOCR"},
      {"GRUPPROD", "DTULTATUGPPR"},
      {"ROTFABLOCAL", "DTULTATURTFL"},
      {"FAMILIASALDO", "DTULTATUFAMS"},
      {"FAMSALDOFILI", "DTULTATUFASF"},
      {"FAMSALDOPROD", "DTULTATUFSPR"},
      {"ENDEFILI", "DTULTATUEFIL"},
      {"IMPRESSORA", "DTULTATUIMPR"},
      {"SERVICO", "DTULTATUSERV"},
      {"PRSUBGRPROD", "DTULTATUPRSUBGR"},
      {"RALIMENT", "DTULTATURALIM"},
      {"SERVTURCAIXA", "DTULTATUSERTUR"},
      {"PRODSERVTCON", "DTULTATUPRSTCON"},
      {"PRODTURCAIXA", "DTULTATUPRTURCA"},
      {"PRODRALIMENT", "DTULTATUPRRALIM"},
      {"IMPRESSOOPER", "DTULTATUIMOP"},
      {"OPERADOR", "DTULTATUOPER"},
      {"MOVINDICE", "DTULTATUMVIN"},
      {"OPERGRUPOP", "DTULTATUOPGR"},
      {"TIPOCONSCLI", "DTULTATUCCLI"},
      {"FILIAL", "DTULTATUFILI"},
      {"VENDEDOR", "DTULTATUVEND"},
      {"MUNICIPIO", "DTULTATUMUNI"},
      {"CAIXA", "DTULTATUCAIX"},
      {"MESA", "DTULTATUMESA"},
      {"OCORRENCIA", "DTULTATUOCOR"},
      {"LOJA", "DTULTATULOJA"},
      {"CONFTELA", "DTULTATUCFTE"},
      {"FERIFILI", "DTULTATUFEFI"},
      {"EMPRESA", "DTULTATUEMPR"},
      {"IMPOSTO", "DTULTATUIMPO"},
      {"GRUPOPER", "DTULTATUGROP"},
      {"PARAVEND", "DTULTATUPAVN"},
      {"ROTFABRICA", "DTULTATURTFA"},
      {"TIPOCONS", "DTULTATUTCON"},
      {"UNIDMEDIDA", "DTULTATUUNID"},
      {"TIPORECE", "DTULTATUTIPR"},
      {"ITEMPRECODIA", "DTULTATUITPD"},
      {"AUTGRUPOP", "DTULTATUAGOP"},
      {"COMANDAKIV", "DTULTATUCOMANDA"},
      {"GRUPROMOC", "DTULTATUGPPRC"},
      {"PRODGRUPROMOC", "DTULTATUPRPRC"},
      {"GRUPROMOCPROD", "DTULTATUGRPROPR"},
      {"GRUPROMOCPRFIL", "DTULTATUGRPRFIL"},
      {"DESGRUPROMOCPR", "DTULTATUDESPR"},
      {"DESGRUPROMPRFIL", "DTULTATUDESPRFI"},
      {"PRODMODFILI", "DTULTATU"},
      {"ESTADO", "DTULTATUESTA"},
      {"PAIS", "DTULTATUPAIS"},
      {"INSCRESTAD", "DTULTATUIEST"},
      {"BAIRRO", "DTULTATUBAIR"},
      {"COLLAYOUTIMP", "DTULTATUCOLL"},
      {"CONSUMIFILIAL", "DTULTATU"},
      {"REGIAOMUNI", "DTULTATU"},
      {"TIPOSANGRIA", "DTULTATU"},
      {"PARAMPRODFILI", "DTULTATU"},
      {"MAPIMPRLOJA", "DTULTATU"},
      {"IMPRLOJA", "DTULTATU"},
      {"CEP", "DTULTATU"},
      {"FILIALCEP", "DTULTATU"},
      {"MOVPONTOCONS", "DTULTATU"},
      {"VOUCHERVND", "DTULTATU"},
      {"CORPEDIDO", "DTULTATU"},
      {"PRODCAMPANHA", "DTULTATU"},
      {"SETORPRODUTO", "DTULTATU"},
      {"SETORPRODUTOFIL", "DTULTATU"},
      {"SETORPRODOBS", "DTULTATU"},
      {"ENDEVENDE", "DTULTATUENVE"},
      {"SETORPRODINTER", "DTULTATU"},
      {"ARQUIVOS", "DTULTATU"},
      {"MOVBENEFICIOCTR", "DTULTATU"},
      {"SETORFILIAL", "DTULTATU"},
      {"SETORLOJA", "DTULTATU"},
      {"PRODFILI", "DTULTATUPRFIL"},
      {"COMBINAPROD", "DTULTATU"},
      {"TIPOCONSLOJA", "DTULTATU"},
      {"KDSMENSAGEM", "DTULTATU"},
      {"KDSMSGDIAS", "DTULTATU"},
      {"SETORFILIALMSG", "DTULTATU"},
      {"PRODOBRIGOCOR", "DTULTATU"},
      {"GRUPOBRIGOCOR", "DTULTATU"},
      {"RELACCODSSL", "DTULTATU"},
      {"SUGESTAOVENDA", "DTULTATU"},
      {"SUGESTAOITEM", "DTULTATU"},
      {"BASECALC", "DTULTATU"},
      {"BASECALCTPOPER", "DTULTATU"},
      {"PRODSUBSIFILI", "DTULTATU"},
      {"PRODEXTERNO", "DTULTATU"},
      {"USOCUPOMDESCKIV", "DTULTATU"},
      {"TABEPRECGER", "DTULTATU"},
      {"TABEVENDGER", "DTULTATU"},
      {"ITEMPRECOGER", "DTULTATU"},
      {"FILITABGER", "DTULTATU"},
      {"ITEMPRECODIAGER", "DTULTATU"},
      {"PREVVNDPRODHR", "DTULTATU"},
      {"LINHAPROD", "DTULTATU"},
      {"LINHAPRODSETOR", "DTULTATU"},
      {"SORTORDERSBYORG", "DTULTATU"},
      {"ENDECONS", "DTULTATU"},
      {"REDPEDMODALIDADE", "DTULTATU"},
      {"CONFTELAINICARD", "DTULTATU"}};
  return slots;
}

void BuscaDtUltAtuTabelas(LoadContext& context, download::RequestVectors& vectors) {
  const db::DateTime now = context.env.now();
  std::string text;
  try {
    for (size_t slot = 0; slot < dateSlots().size(); ++slot) {
      if (!readHere(slot)) continue;
      text = countMaxSql(dateSlots()[slot]);
      storeDates(context.conn, text, {}, slot, vectors, now);
    }
    text = std::string(sql::kConfTelaCaixa);
    auto current = context.conn.query(text, {{"P_CDFILIAL", db::Value(context.state.branch)},
                                             {"P_CDCAIXA", db::Value(context.state.cashRegister)},
                                             {"P_HOJE", db::Value(now)}});
    const db::Value screen = current->next() ? current->at(0) : db::Value();
    current.reset();
    text = countMaxSql(dateSlots()[kConfTelaSlot]) + " WHERE NRCONFTELA = :P_NRCONFTELA";
    storeDates(context.conn, text, {{"P_NRCONFTELA", db::Value(screen.asText())}}, kConfTelaSlot,
               vectors, now);
  } catch (const std::exception& error) {
    context.log("BuscaDtUltAtuTabelas Query: " + text, "3");
    context.log("BuscaDtUltAtuTabelas Except: " + std::string(error.what()), "3");
  }
}

}  // namespace load
