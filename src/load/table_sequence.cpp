#include "load/table_sequence.h"

#include "fault/fault.h"
#include "load/counters.h"
#include "load/load_sql.h"

namespace load {

namespace {

constexpr std::string_view kBannerPrefix = "Inserindo dados da Importação na Tabela: ";

std::string datasetOf(std::string_view table) { return "cds" + std::string(table); }

}  // namespace

std::string tableBanner(std::string_view table) {
  // TABEPREC's banner has always read TABEPRE; operators search the logs for it.
  return std::string(kBannerPrefix) + std::string(table == "TABEPREC" ? "TABEPRE" : table);
}

const std::vector<SequenceStep>& tableSequence() {
  using K = StepKind;
  static const std::vector<SequenceStep> steps = [] {
    std::vector<SequenceStep> s;
    for (auto t : {"ALIQIMPFIS",
                   "CDBARRAPROD",
                   "CLIENFILIAL",
                   "CLIENTE",
                   "ITEMPRECO",
                   "ITMENUCONFTE",
                   "PRODUTO",
                   "PRODOCORRE",
                   "PRODLOJA",
                   "PRODUTOSEG",
                   "SALA",
                   "TABEPREC",
                   "TABEVEND",
                   "PARAMGERAL",
                   "UNIDMEDIDA",
                   "CAIXA",
                   "FILIAL",
                   "FILIOPER",
                   "ITEMPRECODIA",
                   "LOJA",
                   "OPERADOR",
                   "MOVINDICE",
                   "PARAVEND",
                   "TIPORECE",
                   "CONFTELA",
                   "IMPOSTO",
                   "VENDEDOR",
                   "MESA",
                   "GRUPOCOR",
                   "OCORRENCIA",
                   "FERIFILI",
                   "OPERGRUPOP",
                   "GRUPPROD",
                   "TIPOCONSCLI",
                   "ROTFABLOCAL",
                   "PRSUBGRPROD",
                   "EMPRESA",
                   "FAMILIASALDO",
                   "FAMSALDOFILI",
                   "FAMSALDOPROD",
                   "GRUPOPER",
                   "AUTGRUPOP",
                   "MUNICIPIO",
                   "ENDEFILI",
                   "RALIMENT",
                   "PRODRALIMENT",
                   "IMPRESSORA",
                   "IMPRESSOOPER",
                   "SERVICO",
                   "SERVTURCAIXA",
                   "PRODSERVTCON",
                   "PRODTURCAIXA",
                   "TIPOCONS",
                   "COMANDAKIV",
                   "GRUPROMOC",
                   "PRODGRUPROMOC",
                   "GRUPROMOCPROD",
                   "GRUPROMOCPRFIL",
                   "DESGRUPROMOCPR",
                   "DESGRUPROMPRFIL",
                   "ROTFABRICA",
                   "PRODMODFILI",
                   "ESTADO",
                   "PAIS",
                   "INSCRESTAD",
                   "BAIRRO",
                   "REGIAOMUNI",
                   "COLLAYOUTIMP",
                   "FRMTCOLLAY",
                   "CONSUMIFILIAL",
                   "TIPOSANGRIA",
                   "MAPIMPRLOJA",
                   "IMPRLOJA",
                   "CEP",
                   "FILIALCEP",
                   "MOVPONTOCONS",
                   "VOUCHERVND",
                   "PRODAMBIENTE",
                   "SETORPRODUTOFIL",
                   "SETORPRODUTO",
                   "SETORPRODOBS",
                   "ENDEVENDE",
                   "SETORPRODINTER",
                   "ARQUIVOS",
                   "SETORFILIAL",
                   "SETORLOJA",
                   "KDSMENSAGEM",
                   "KDSMSGDIAS",
                   "SETORFILIALMSG"}) {
      const std::string_view table(t);
      s.push_back({table == "ITMENUCONFTE" || table == "PRODUTO" ? K::MergeFlag : K::Merge, table});
    }
    s.push_back({K::ProdFili, "PRODFILI"});
    for (auto t : {"PRODOBRIGOCOR", "GRUPOBRIGOCOR", "TIPOCONSLOJA", "PRODSUBSIFILI", "ENDECONS",
                   "HISTPEDCONS", "REDPEDMODALIDADE", "CONFTELAINICARD"})
      s.push_back({K::Merge, t});
    const std::vector<SequenceStep> rest = {
        {K::Replace, "CORPEDIDO"},
        {K::Replace, "PARAMSENHA"},
        {K::ControlSenha, "CONTROLSENHA"},
        {K::Replace, "CAMPANHA"},
        {K::Replace, "FILICAMPANHA"},
        {K::Replace, "TIPOCONSFILI"},
        {K::Append, "PRODCAMPANHA"},
        {K::Replace, "BRINDECAMPANHA"},
        {K::Replace, "BENEFICIOCAMP"},
        {K::Replace, "PRODBENECAMP"},
        {K::Replace, "BENEFICIOKIV"},
        {K::Replace, "LAYOUTTECLAKDS"},
        {K::DeleteTipoReceInte, "TIPORECEINTE", false},
        {K::Replace, "INTEGRACAO"},
        {K::Append, "TIPORECEINTE"},
        {K::Replace, "CAMPANHAPROMO"},
        {K::Replace, "COMBINAPROD"},
        {K::InactiveProducts, "PRODUTO", false},
        {K::Replace, "LOJAGRUPOOCORR"},
        {K::Replace, "RELACCODSSL"},
        {K::Replace, "SUGESTAOVENDA"},
        {K::Replace, "SUGESTAOITEM"},
        {K::Merge, "BASECALC"},
        {K::Merge, "BASECALCTPOPER"},
        {K::Replace, "SALDMINCLICCUS"},
        {K::Replace, "CONFIGINTCAT"},
        {K::Replace, "TIPOCONSRECEB"},
        {K::Merge, "PRODEXTERNO"},
        {K::Replace, "CUPOMDESCKIV"},
        {K::Replace, "PRODCUPOMDESC"},
        {K::Replace, "FILIALCUPOMDESC"},
        {K::Merge, "USOCUPOMDESCKIV"},
        {K::Replace, "CAMPCOMPGANHE"},
        {K::Replace, "VGCAMPCOMPGANHE"},
        {K::Replace, "PRCAMPCOMPGANHE"},
        {K::Merge, "TABEPRECGER"},
        {K::Merge, "TABEVENDGER"},
        {K::MergeFlag, "ITEMPRECOGER"},
        {K::Merge, "FILITABGER"},
        {K::MergeFlag, "ITEMPRECODIAGER"},
        {K::Replace, "BRCAMPCOMPGANHE"},
        {K::Replace, "CARTDIGIT"},
        {K::TotalDiaCaixa, "TOTALDIACAIXA"},
        {K::Replace, "PRODUTOADIC"},
        {K::Merge, "PREVVNDPRODHR"},
        {K::TipoSaldoProd, "TIPOSALDOPROD"},
        {K::Replace, "CUSTOMIZACAOTAAMOBILE"},
        {K::Replace, "KDSPRODENTRADA"},
        {K::Replace, "KDSPRODEXCECAO"},
        {K::Merge, "GERPARAMGERAL"},
        {K::Replace, "INTEGRACAOFILI"},
        {K::Replace, "ADMINCARTFIL"},
        {K::Replace, "CONFCUSTOMTAA"},
        {K::Replace, "CAIXACUSTOMTAA"},
        {K::Replace, "REGRAFISPDV"},
        {K::Replace, "BANCARDPOS"},
        {K::Replace, "CORPEDIDOSETOR"},
        {K::Replace, "VENDEDORAMB"},
        {K::Replace, "ORIGEMVENDAKIV"},
        {K::DescRoteiro, "DESCROTEIRO", false},
        {K::Replace, "DESCROTLOCAL", false},
        {K::Replace, "SETOR", false},
        {K::Replace, "LIVROMAGNETICO", false},
        {K::Replace, "PARAMPRODFILI", false},
        {K::Replace, "DESCQTDESUB", false},
        {K::Replace, "PARAMEMPRESA", false},
        {K::Counters, "NOVOCODIGO", false},
        {K::Replace, "REGISTROMESA", false},
        {K::Replace, "WEBSERVICE", false},
        {K::Replace, "CATRACA"},
        {K::Replace, "POS"},
        {K::ProdBloqVndTaa, "PRODBLOQVNDTAA", false},
        {K::Merge, "LINHAPROD"},
        {K::Merge, "LINHAPRODSETOR"},
        {K::Merge, "SORTORDERSBYORG"},
    };
    s.insert(s.end(), rest.begin(), rest.end());
    return s;
  }();
  return steps;
}

const std::vector<std::string>& fullWipeTables() {
  static const std::vector<std::string> tables = {
      "ITEMPRECO",    "ITMENUCONFTE",  "PRODOCORRE",    "PRODLOJA",     "CONSUMIDOR",
      "PRODUTO",      "CLIENTE",       "ALIQIMPFIS",    "CLIENFILIAL",  "CDBARRAPROD",
      "PRODUTOSEG",   "TABEPREC",      "TABEVEND",      "PARAMGERAL",   "FILIOPER",
      "GRUPOCOR",     "GRUPPROD",      "ROTFABLOCAL",   "FAMILIASALDO", "FAMSALDOFILI",
      "FAMSALDOPROD", "ENDEFILI",      "IMPRESSORA",    "SERVICO",      "PRSUBGRPROD",
      "RALIMENT",     "SERVTURCAIXA",  "PRODSERVTCON",  "PRODTURCAIXA", "PRODRALIMENT",
      "IMPRESSOOPER", "OPERADOR",      "MOVINDICE",     "OPERGRUPOP",   "SALA",
      "UNIDMEDIDA",   "CAIXA",         "FILIAL",        "ITEMPRECODIA", "ROTFABRICA",
      "LOJA",         "PARAVEND",      "MESA",          "TIPORECE",     "CONFTELA",
      "IMPOSTO",      "VENDEDOR",      "OCORRENCIA",    "FERIFILI",     "TIPOCONSCLI",
      "EMPRESA",      "GRUPOPER",      "AUTGRUPOP",     "MUNICIPIO",    "TIPOCONS",
      "COMANDAKIV",   "ESTADO",        "PAIS",          "BAIRRO",       "REGIAOMUNI",
      "COLLAYOUTIMP", "FRMTCOLLAY",    "CONSUMIFILIAL", "TIPOSANGRIA",  "PARAMPRODFILI",
      "MAPIMPRLOJA",  "IMPRLOJA",      "CEP",           "FILIALCEP",    "DESCQTDESUB",
      "PARAMEMPRESA", "MOVPONTOCONS",  "VOUCHERVND",    "PRODAMBIENTE", "CORPEDIDO",
      "SETORPRODUTO", "PRODOBRIGOCOR", "GRUPOBRIGOCOR"};
  return tables;
}

const std::vector<std::string>& fullWipeStatements() {
  static const std::vector<std::string> statements = [] {
    std::vector<std::string> s;
    for (const auto& table : fullWipeTables()) {
      s.push_back(table == "MESA" ? std::string(sql::kDelMesaWipe)
                                  : withTable(sql::kDeleteAll, table));
    }
    return s;
  }();
  return statements;
}

void TableSequence::run() {
  for (const auto& step : tableSequence()) {
    if (ctx_.env.cancelled()) throw LoadCancelled();
    runStep(step);
    ctx_.state.releaseSpooled();
    fault::reach("load.step");
  }
}

// The delete and the new rows commit together: a stop between them leaves the old rows.
void TableSequence::replace(std::string_view table) {
  BulkWriter::Together together(writer_);
  ctx_.conn.execute(withTable(sql::kDeleteAll, table));
  writer_.InsereDados(datasetOf(table), table);
  together.commit();
}

bool TableSequence::prodAtivFilial() {
  return scalar(ctx_.conn, sql::kSelIdAtuProdAtivFi).asText() == "S";
}

void TableSequence::runStep(const SequenceStep& step) {
  if (step.banner) ctx_.log(tableBanner(step.table), "2");
  const std::string dataset = datasetOf(step.table);
  switch (step.kind) {
    case StepKind::Merge:
      merge_.run(step.table);
      break;
    case StepKind::MergeFlag:
      merge_.run(step.table, true);
      break;
    case StepKind::Replace:
      replace(step.table);
      break;
    case StepKind::Append:
      writer_.InsereDados(dataset, step.table);
      break;
    case StepKind::ProdFili:
      ctx_.conn.execute(withTable(sql::kDeleteAll, step.table));
      if (prodAtivFilial()) merge_.run(step.table);
      if (db::DataSet* rows = ctx_.rowsOf(dataset)) rows->emptyDataSet();
      break;
    case StepKind::ControlSenha: {
      BulkWriter::Together together(writer_);
      ctx_.conn.execute(sql::kDelControlSenha);
      writer_.InsereDados(dataset, step.table);
      together.commit();
      if (db::DataSet* rows = ctx_.rowsOf(dataset)) rows->emptyDataSet();
      break;
    }
    case StepKind::DeleteTipoReceInte:
      ctx_.conn.execute(withTable(sql::kDeleteAll, step.table));
      break;
    case StepKind::InactiveProducts:
      try {
        ctx_.conn.execute(sql::kDelProdutosInativos);
      } catch (const std::exception& error) {
        // Products still on open orders cannot go yet; the load goes on without deleting them.
        logInactiveProducts(error);
      }
      break;
    case StepKind::TotalDiaCaixa:
    case StepKind::TipoSaldoProd:
      // Delete and inserts commit together, so the register never sees the table half empty.
      if (ctx_.rowsOf(dataset) != nullptr && !ctx_.conn.inTransaction()) ctx_.conn.begin();
      try {
        ctx_.conn.execute(step.kind == StepKind::TotalDiaCaixa
                              ? std::string(sql::kDelTotalDiaCaixa)
                              : withTable(sql::kDeleteAll, step.table));
      } catch (...) {
        if (ctx_.conn.inTransaction()) ctx_.conn.rollback();
        throw;
      }
      writer_.InsereDados(dataset, step.table);
      break;
    case StepKind::DescRoteiro:
      replace(step.table);
      ctx_.log("DELETE DESCROTEIRO", "2");
      break;
    case StepKind::Counters:
      applyCounters(ctx_, writer_);
      break;
    case StepKind::ProdBloqVndTaa:
      if (!ctx_.conn.query(sql::kAnyProdBloqVndTaa)->next()) {
        ctx_.log(tableBanner(step.table), "2");
        replace(step.table);
      }
      break;
  }
}

void TableSequence::logInactiveProducts(const std::exception& error) {
  ctx_.log("Exceção ao excluir produtos inativos!", "3");
  ctx_.log(error.what(), "3");
  auto rows = ctx_.conn.query(sql::kProdInatItComanda);
  if (!rows->next()) return;
  ctx_.log(kDashes, "3");
  ctx_.log("Os seguintes produtos estão inativos porém estão lançados no sistema.", "3");
  ctx_.log("Eles somente serão apagados da base local após a liberação das respectivas vendas",
           "3");
  ctx_.log("Caso queira permanecer com os produtos na base local, favor ativá-los novamente", "3");
  ctx_.log("no retaguarda!", "3");
  do {
    ctx_.log("Código: " + rows->at(0).asText() + " Nome: " + rows->at(1).asText(), "3");
  } while (rows->next());
  ctx_.log(kDashes, "3");
}

}  // namespace load
