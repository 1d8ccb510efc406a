#include "schema/foreign_keys.h"

namespace schema {
namespace {

// Banners of the first sections, with their own asterisk counts, and of the later ones.
constexpr ForeignKeyBanner wide(std::string_view table) { return {18, table, 19}; }
constexpr ForeignKeyBanner section(std::string_view table) { return {16, table, 16}; }

// Keys: logged either way and counted; indexes: logged on success only; the rest as noted.
ForeignKeyStatement key(std::string_view component, std::string_view text, std::string_view success,
                        std::string_view error, ForeignKeyBanner banner = {}) {
  return {component, text, success, error, true, banner};
}
ForeignKeyStatement index(std::string_view component, std::string_view text,
                          std::string_view success) {
  return {component, text, success, {}, false, {}};
}
ForeignKeyStatement quiet(std::string_view component, std::string_view text) {
  return {component, text, {}, {}, false, {}};
}

}  // namespace

const std::vector<ForeignKeyStatement>& foreignKeyStatements() {
  static const std::vector<ForeignKeyStatement> statements = {
      key("acmConstItVenda",
          "alter table ITEMVENDA add constraint FKVND00012VENDA foreign key (CDFILIAL, CDCAIXA, "
          "NRSEQVENDA) references VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA)",
          "Aplicada a Constraint: Itemvenda references Venda",
          "Erro Itemvenda/Venda: ", wide("ITEMVENDA")),
      index("acmIndexItVenda",
            "create index PDV00012_FK on ITEMVENDA (CDFILIAL, CDCAIXA, NRSEQVENDA)",
            "Aplica index FK Itemvenda"),
      key("acmConstItestItemvenda",
          "alter table ITEMVENDAEST add constraint FKVND00320ITEMVEND foreign key (CDFILIAL, "
          "CDCAIXA, NRSEQVENDA, NRSEQUITVEND) references ITEMVENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, "
          "NRSEQUITVEND)",
          "Aplicada a Constraint: Itemvendaest references Itemvenda",
          "Erro Itemvendaest/Itemvenda: "),
      index(
          "acmIndexItestItemvenda",
          "create index PDV00320_FK on ITEMVENDAEST (CDFILIAL, CDCAIXA, NRSEQVENDA, NRSEQUITVEND)",
          "Aplica index FK Itemvendaest"),
      key("acmConstItimposItemvenda",
          "alter table ITVENDAIMPOS add constraint FKPDV00271ITEMVEND foreign key (CDFILIAL, "
          "CDCAIXA, NRSEQVENDA, NRSEQUITVEND) references ITEMVENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, "
          "NRSEQUITVEND)",
          "Aplicada a Constraint: Itvendaimpos references Itemvenda",
          "Erro Itvendaimpos/Itemvenda: "),
      index(
          "acmIndexItimposItemvenda",
          "create index PDV00271_FK on ITVENDAIMPOS (CDFILIAL, CDCAIXA, NRSEQVENDA, NRSEQUITVEND)",
          "Aplica index FK Itvendaimpos"),
      key("acmConstMovVenda",
          "alter table MOVCAIXA add constraint FKVND00008VENDA foreign key (CDFILIAL, CDCAIXA, "
          "NRSEQVENDA) references VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA)",
          "Aplicada a Constraint: Movcaixa references Venda",
          "Erro Movcaixa/Venda: ", wide("MOVCAIXA")),
      index("acmIndexMovVenda",
            "create index VND00008_FK on MOVCAIXA (CDFILIAL, CDCAIXA, NRSEQVENDA)",
            "Aplica index FK Movcaixa"),
      key("acmConstVenFilial",
          "alter table VENDAREST add constraint FKPDV00295FILIAL foreign key (CDFILIAL) references "
          "FILIAL (CDFILIAL)",
          "Aplicada a Constraint: Vendarest references Filial",
          "Erro Vendarest/Filial: ", wide("VENDAREST")),
      key("acmConstVenMesa",
          "alter table VENDAREST add constraint FKPDV00296MESA foreign key (CDFILIAL, CDLOJA, "
          "NRMESA) references MESA (CDFILIAL, CDLOJA, NRMESA)",
          "Aplicada a Constraint: Vendarest references Mesa", "Erro Vendarest/Mesa: "),
      key("acmConstVenVendedor",
          "alter table VENDAREST add constraint FKPDV00297VENDEDOR foreign key (CDVENDEDOR) "
          "references VENDEDOR (CDVENDEDOR)",
          "Aplicada a Constraint: Vendarest references Vendedor", "Erro Vendarest/Vendedor: "),
      key("acmConstVenOperador",
          "alter table VENDAREST add constraint FKPDV00300OPERADOR foreign key (CDOPERADOR) "
          "references OPERADOR (CDOPERADOR)",
          "Aplicada a Constraint: Vendarest references Operador", "Erro Vendarest/Operador: "),
      key("acmConstVenCliente",
          "alter table VENDAREST add constraint FKPDV00404CLIENTE foreign key (CDCLIENTE) "
          "references CLIENTE (CDCLIENTE)",
          "Aplicada a Constraint: Vendarest references Cliente", "Erro Vendarest/Cliente: "),
      key("acmConstVenConsumidor",
          "alter table VENDAREST add constraint FKVND00267CONSUMID foreign key (CDCLIENTE, "
          "CDCONSUMIDOR) references CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR)",
          "Aplicada a Constraint: Vendarest references Consumidor", "Erro Vendarest/Consumidor: "),
      key("acmConstComVendarest",
          "alter table COMANDAVEN add constraint FKPDV00301VENDARES foreign key (CDFILIAL, "
          "NRVENDAREST) references VENDAREST (CDFILIAL, NRVENDAREST)",
          "Aplicada a Constraint: Comandaven references Vendarest",
          "Erro ComandaVen/VendaRest: ", {17, "COMANDAVEN", 17}),
      {"acmDelIdxNRCOMANDAEXT",
       "drop index UN_NRCOMANDAEXT on comandaven",
       {},
       "Erro index Nrcomandaext: ",
       false,
       {}},
      index("acmIndexComVendarest",
            "create index PDV00301_FK on COMANDAVEN (CDFILIAL, NRVENDAREST)",
            "Aplica index FK Comandaven"),
      key("acmConstComMesa",
          "alter table COMANDAVEN add constraint FKPDV00302MESA foreign key (CDFILIAL, CDLOJA, "
          "NRMESAJUNCAO) references MESA (CDFILIAL, CDLOJA, NRMESA)",
          "Aplicada a Constraint: Comandaven references MesaJuncao",
          "Erro ComandaVen/MesaJuncao: "),
      key("acmConstComOcorrencia",
          "alter table COMANDAVEN add constraint FKPDV00303OCORRENC foreign key (CDGRPOCOR, "
          "CDOCORR) references OCORRENCIA (CDGRPOCOR, CDOCORR)",
          "Aplicada a Constraint: Comandaven references Ocorrencia",
          "Erro ComandaVen/Ocorrencia: "),
      key("acmConstComMunicipio",
          "alter table COMANDAVEN add constraint FKDLV00005MUNICIPI foreign key (CDPAIS, SGESTADO, "
          "CDMUNICIPIO) references MUNICIPIO (CDPAIS, SGESTADO, CDMUNICIPIO)",
          "Aplicada a Constraint: Comandaven references Municipio", "Erro ComandaVen/Municipio: "),
      key("acmConstComBairro",
          "alter table COMANDAVEN add constraint FKDLV00006BAIRRO foreign key (CDPAIS, SGESTADO, "
          "CDMUNICIPIO, CDBAIRRO) references BAIRRO (CDPAIS, SGESTADO, CDMUNICIPIO, CDBAIRRO)",
          "Aplicada a Constraint: Comandaven references Bairro", "Erro ComandaVen/Bairro: "),
      key("acmConstItcComandaven",
          "alter table ITCOMANDAVEN add constraint FKPDV00306COMANDAV foreign key (CDFILIAL, "
          "NRVENDAREST, NRCOMANDA) references COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA)",
          "Aplicada a Constraint: ItComandaven references Comandaven",
          "Erro ItComandaVen/ComandaVen: ", section("ITCOMANDAVEN")),
      index("acmIndexItcComandaven",
            "create index PDV00306_FK on ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA)",
            "Aplica index FK Itcomandaven"),
      quiet("acmConsItcItcomandaest",
            "alter table ITCOMANDAEST add constraint FKVND00322ITCOMAND foreign key (CDFILIAL, "
            "NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) references ITCOMANDAVEN (CDFILIAL, "
            "NRVENDAREST, NRCOMANDA, NRPRODCOMVEN)"),
      index("acmIndexItcItcomandaest",
            "create index PDV00322_FK on ITCOMANDAEST (CDFILIAL, NRVENDAREST, NRCOMANDA, "
            "NRPRODCOMVEN)",
            "Aplica index FK Itcomandaest"),
      key("acmConstItcProduto",
          "alter table ITCOMANDAVEN add constraint FKPDV00307PRODUTO foreign key (CDPRODUTO) "
          "references PRODUTO (CDPRODUTO)",
          "Aplicada a Constraint: ItComandaven references Produto1",
          "Erro ItComandaVen/Produto(CDPRODUTO): "),
      key("acmConstItcOcorrencia",
          "alter table ITCOMANDAVEN add constraint FKPDV00308OCORRENC foreign key (CDGRPOCOR, "
          "CDOCORR) references OCORRENCIA (CDGRPOCOR, CDOCORR)",
          "Aplicada a Constraint: ItComandaven references Ocorrencia",
          "Erro ItComandaVen/Ocorrencia: "),
      key("acmConstItcMesa",
          "alter table ITCOMANDAVEN add constraint FKPDV00335MESA foreign key (CDFILIAL, "
          "CDLOJAORIG, NRMESAORIG) references MESA (CDFILIAL, CDLOJA, NRMESA)",
          "Aplicada a Constraint: ItComandaven references Mesa", "Erro ItComandaVen/Mesa: "),
      key("acmConstItcLojaOrig",
          "alter table ITCOMANDAVEN add constraint FKPDV00336LOJA foreign key (CDFILIAL, "
          "CDLOJAORIG) references LOJA (CDFILIAL, CDLOJA)",
          "Aplicada a Constraint: ItComandaven references Loja1", "Erro ItComandaVen/LojaOrig: "),
      key("acmConstItcLoja",
          "alter table ITCOMANDAVEN add constraint FKPDV00396LOJA foreign key (CDFILIAL, CDLOJA) "
          "references LOJA (CDFILIAL, CDLOJA)",
          "Aplicada a Constraint: ItComandaven references Loja2",
          "Erro ItComandaVen/Loja(CDLOJA): "),
      key("acmConstItcCaixa",
          "alter table ITCOMANDAVEN add constraint FKPDV00407CAIXA foreign key (CDFILIAL, "
          "CDCAIXACOLETOR) references CAIXA (CDFILIAL, CDCAIXA)",
          "Aplicada a Constraint: ItComandaven references Caixa", "Erro ItComandaVen/Caixa: "),
      key("acmConstItcProdPromoc",
          "alter table ITCOMANDAVEN add constraint FKVND00329PRODUTO foreign key (CDPRODPROMOCAO) "
          "references PRODUTO (CDPRODUTO)",
          "Aplicada a Constraint: ItComandaven references Produto2",
          "Erro ItComandaVen/Produto(CDPRODPROMOCAO): "),
      key("acmConstObsItc",
          "ALTER TABLE OBSITCOMANDAVEN ADD CONSTRAINT FKPDV00001ITCOMANDAVEN FOREIGN KEY "
          "(CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) REFERENCES ITCOMANDAVEN (CDFILIAL, "
          "NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) ON DELETE CASCADE",
          "Aplicada a Constraint: ObsItComandaVen references ItComandaVen",
          "Erro ObsItComandaVen/ItComandaven: ", section("OBSITCOMANDAVEN")),
      quiet("acmIndexObsItc",
            "create index PDV00001ITCOMANDAVEN_FK on OBSITCOMANDAVEN (CDFILIAL, NRVENDAREST, "
            "NRCOMANDA, NRPRODCOMVEN)"),
      key("acmConstObsItcEst",
          "ALTER TABLE OBSITCOMANDAEST ADD CONSTRAINT FKPDV00001ITCOMANDAEST FOREIGN KEY "
          "(CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO) REFERENCES ITCOMANDAEST "
          "(CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO) ON DELETE CASCADE",
          "Aplicada a Constraint: ObsItComandaEst references ItComandaEst",
          "Erro ObsItComandaEst/ItComandaEst: ", section("OBSITCOMANDAEST")),
      quiet("acmIndexObsItcEst",
            "create index PDV00001ITCOMANDAEST_FK on OBSITCOMANDAEST (CDFILIAL, NRVENDAREST, "
            "NRCOMANDA, NRPRODCOMVEN)"),
      key("acmConstItCmdVenOrig",
          "ALTER TABLE ITCMDVENORIG ADD CONSTRAINT FKPDV00001COMANDAVEN FOREIGN KEY (CDFILIAL, "
          "NRVENDAREST, NRCOMANDA) REFERENCES COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA) ON "
          "DELETE CASCADE",
          "Aplicada a Constraint: ItCmdVenOrig references ComandaVen",
          "Erro ItCmdVenOrig/ComandaVen: ", section("ITCMDVENORIG")),
      key("acmConstItCmdEstOrig",
          "ALTER TABLE ITCMDESTORIG ADD CONSTRAINT FKPDV00001ITCMDVENORIG FOREIGN KEY (CDFILIAL, "
          "NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) REFERENCES ITCMDVENORIG (CDFILIAL, NRVENDAREST, "
          "NRCOMANDA, NRPRODCOMVEN) ON DELETE CASCADE",
          "Aplicada a Constraint: ItCmdEstOrig references ItCmdVenOrig",
          "Erro ItCmdEstOrig/ItCmdVenOrig: ", section("ITCMDESTORIG")),
      key("acmConstItPedidoKiv",
          "ALTER TABLE ITPEDIDOKIV ADD CONSTRAINT FKPDV00001PEDIDOKIV FOREIGN KEY (CDFILIAL, "
          "NRPEDIDOKIV) REFERENCES PEDIDOKIV (CDFILIAL, NRPEDIDOKIV) ON DELETE CASCADE",
          "Aplicada a Constraint: ItPedidoKiv references PedidoKiv",
          "Erro ItPedidoKiv/PedidoKiv: ", section("ITPEDIDOKIV")),
      key("acmConstItPedidoKivPai",
          "ALTER TABLE ITPEDIDOKIVPAI ADD CONSTRAINT FKPDV00002PEDIDOKIV FOREIGN KEY (CDFILIAL, "
          "NRPEDIDOKIV) REFERENCES PEDIDOKIV (CDFILIAL, NRPEDIDOKIV) ON DELETE CASCADE",
          "Aplicada a Constraint: ItPedidoKivPai references PedidoKiv",
          "Erro ItPedidoKivPai/PedidoKiv: ", section("ITPEDIDOKIVPAI")),
      key("acmConstItPedidoKivRel",
          "ALTER TABLE ITPEDIDOKIVREL ADD CONSTRAINT FKPDV00003PEDIDOKIV FOREIGN KEY (CDFILIAL, "
          "NRPEDIDOKIV) REFERENCES PEDIDOKIV (CDFILIAL, NRPEDIDOKIV) ON DELETE CASCADE",
          "Aplicada a Constraint: ItPedidoKivRel references PedidoKiv",
          "Erro ItPedidoKivRel/PedidoKiv: ", section("ITPEDIDOKIVREL")),
      key("acmConstPedidoAlt",
          "ALTER TABLE PEDIDOALT ADD CONSTRAINT FKPDV00002COMANDAVEN FOREIGN KEY (CDFILIALOLD, "
          "NRVENDAREST, NRCOMANDA) REFERENCES COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA) ON "
          "DELETE CASCADE",
          "Aplicada a Constraint: PedidoAlt references ComandaVen",
          "Erro PedidoAlt/ComandaVen: ", section("PEDIDOALT")),
      key("acmConstMovPontoConsAux",
          "ALTER TABLE MOVPONTOCONSAUX ADD CONSTRAINT FKPDV00002ITCOMANDAVEN FOREIGN KEY "
          "(CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) REFERENCES ITCOMANDAVEN (CDFILIAL, "
          "NRVENDAREST, NRCOMANDA, NRPRODCOMVEN) ON DELETE CASCADE",
          "Aplicada a Constraint: MovPontoConsAux references ItComandaVen",
          "Erro MovPontoConsAux/ItComandaVen: ", section("MOVPONTOCONSAUX")),
      key("acmConstPromoComanda",
          "ALTER TABLE PROMOCOMANDA ADD CONSTRAINT FKPDV00003COMANDAVEN FOREIGN KEY (CDFILIAL, "
          "NRVENDAREST, NRCOMANDA) REFERENCES COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA) ON "
          "DELETE CASCADE",
          "Aplicada a Constraint: PromoComanda references ComandaVen",
          "Erro PromoComanda/ComandaVen: ", section("PROMOCOMANDA")),
  };
  return statements;
}

}  // namespace schema
