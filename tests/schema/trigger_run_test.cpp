// The ten triggers, installed and fired on the embedded engine.
#include <gtest/gtest.h>

#include "server_code_fixture.h"

namespace {

using Rows = std::vector<std::string>;

class LocalTriggers : public schema_test::ServerCodeFixture {
 protected:
  void order(const std::string& number, const std::string& origin, const std::string& status,
             const std::string& description = "MESA 1") {
    local->execute(
        "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, CDLOJA, DSCOMANDA, "
        "IDORGCMDVENDA, IDSTCOMANDA, IDIMPCUPEXP, IDFECHAMENTOAPI) VALUES ('0001', '10', :N, "
        "'0001', :D, :O, :S, '1', 'N')",
        {{"N", number}, {"D", description}, {"O", origin}, {"S", status}});
  }
  void setStatus(const std::string& number, const std::string& status) {
    local->execute("UPDATE COMANDAVEN SET IDSTCOMANDA = :S WHERE NRCOMANDA = :N",
                   {{"S", status}, {"N", number}});
  }
  // Each row the query finds, written as one line.
  template <typename Line>
  Rows linesOf(const std::string& sql, const db::Params& params, Line&& line) {
    Rows lines;
    auto r = local->query(sql, params);
    while (r->next()) lines.push_back(line(*r));
    return lines;
  }
  Rows history(const std::string& number) {
    return linesOf(
        "SELECT NRSEQHISTPED, IDHISTPEDCONS, DSHISTPEDCONS, DTHRHISTPEDCONS FROM HISTPEDCONS "
        "WHERE NRCOMANDA = :N ORDER BY NRSEQHISTPED",
        {{"N", number}}, [](db::Rows& r) {
          EXPECT_FALSE(r.at(3).isNull());
          return r.at(0).asText() + " " + r.at(1).asText() + " " + r.at(2).asText();
        });
  }
  void sale(const std::string& number, const std::string& emission, const char* series) {
    local->execute(
        "INSERT INTO VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, IDTPEMISVEND, CDSERIENFCE, "
        "IDSITUVENDA) VALUES ('0001', '001', :N, :E, :S, 'A')",
        {{"N", number}, {"E", emission}, {"S", series ? db::Value(series) : db::Value()}});
  }
  Rows invoiceLog(const std::string& number) {
    return linesOf(
        "SELECT NRSEQLOGNFCE, NRSEQLOGNFCEMSDE, IDOPERACAO, IDIMPLOGNFCE FROM LOGNFCE WHERE "
        "NRSEQVENDA = :N ORDER BY NRSEQLOGNFCE",
        {{"N", number}}, [](db::Rows& r) {
          return r.at(0).asText() + "/" + r.at(1).asText() + " " + r.at(2).asText() +
                 r.at(3).asText();
        });
  }
  std::string hostName() { return text("SELECT HOST_NAME()"); }
};

TEST_F(LocalTriggers, KdsMensagemOnDeleteQueuesOneNumberedOperationPerMessage) {
  for (const char* code : {"0001", "0002", "0003", "A\"B"})
    local->execute("INSERT INTO KDSMENSAGEM (CDMENSAGEM) VALUES (:C)", {{"C", code}});
  local->execute("DELETE FROM KDSMENSAGEM WHERE CDMENSAGEM = 'NONE'");
  EXPECT_EQ(count("SELECT COUNT(*) FROM KDSOPERACAOTEMP"), 0);

  // The counter starts when missing.
  local->execute("DELETE FROM KDSMENSAGEM WHERE CDMENSAGEM = '0002'");
  EXPECT_EQ(text("SELECT DSOPERACAO FROM KDSOPERACAOTEMP WHERE NRSEQOPERACAO = '0000000001'"),
            "{\"operation\": \"deleteMessage\",\"params\": {\"CDMENSAGEM\": \"0002\"}}");
  EXPECT_EQ(text("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = 'KDSOPERACAOTEMP'"),
            "0000000001");

  // One statement deleting several messages queues each of them.
  local->execute("DELETE FROM KDSMENSAGEM");
  EXPECT_EQ(count("SELECT COUNT(*) FROM KDSOPERACAOTEMP"), 4);
  EXPECT_EQ(text("SELECT DSOPERACAO FROM KDSOPERACAOTEMP WHERE NRSEQOPERACAO = '0000000002'"),
            "{\"operation\": \"deleteMessage\",\"params\": {\"CDMENSAGEM\": \"0001\"}}");
  EXPECT_EQ(text("SELECT DSOPERACAO FROM KDSOPERACAOTEMP WHERE NRSEQOPERACAO = '0000000004'"),
            "{\"operation\": \"deleteMessage\",\"params\": {\"CDMENSAGEM\": \"A\\\"B\"}}");
  EXPECT_EQ(text("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = 'KDSOPERACAOTEMP'"),
            "0000000004");
}

TEST_F(LocalTriggers, LogDelExtratoConsDescribesTheDeletedRowInAtMost300Characters) {
  local->execute(
      "INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT, "
      "CDTIPORECE, CDFILIAL, CDCAIXA, NRSEQVENDA, DSOPEEXTCONS, VRMOVEXTCONS, VRSALDCONEXT, "
      "IDIMPEXTRATO) VALUES ('000000001', '0001', '01', :D, '1', '001', '0001', '001', '7', "
      "'VENDA', 12.5, -3.25, 'S')",
      {{"D", db::DateTime::fromParts(2026, 11, 1, 10, 20, 30)}});
  local->execute(
      "INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT, "
      "DSOPEEXTCONS) VALUES ('000000002', '0009', '02', :D, '2', :T)",
      {{"D", db::DateTime::fromParts(2026, 11, 2)}, {"T", std::string(255, 'x')}});
  local->execute("UPDATE EXTRATOCONS SET VRSALDCONEXT = 0");
  EXPECT_EQ(count("SELECT COUNT(*) FROM LOGOPERAVND"), 0);

  local->execute("DELETE FROM EXTRATOCONS");
  ASSERT_EQ(count("SELECT COUNT(*) FROM LOGOPERAVND"), 2);
  auto r = local->query(
      "SELECT NMTABELAVND, NMRESPOPERVND, IDTIPOOPERVND, CDPESQITEMVND, DSOPERACAOVND, "
      "DTOPERACAOVND FROM LOGOPERAVND ORDER BY CDPESQITEMVND");
  ASSERT_TRUE(r->next());
  EXPECT_EQ(r->at(0).asText(), "EXTRATOCONS");
  EXPECT_EQ(r->at(1).asText(), "VIA CAIXA");
  EXPECT_EQ(r->at(2).asText(), "3");
  EXPECT_EQ(r->at(3).asText(), "0000000010001");
  EXPECT_EQ(r->at(4).asText(),
            " CdCliente=000000001 CdCons.=0001 cdFamiliSald=01 DtMovExtCons=2026-11-01 10:20:30 "
            "cdTipoRece=001 cdFilial=0001 cdCaixa=001 nrSeqVenda=7 dsOperExtCons=VENDA "
            "vrMovExtCons=12.500 vrSaldConExt=0.000 idImpExtrato=S");
  EXPECT_FALSE(r->at(5).isNull());
  ASSERT_TRUE(r->next());
  const std::string cut = r->at(4).asText();
  EXPECT_EQ(cut.size(), 300u);
  EXPECT_EQ(cut.rfind(" CdCliente=000000002 CdCons.=0009 cdFamiliSald=02 DtMovExtCons=2026-11-02 "
                      "00:00:00 dsOperExtCons=xxx",
                      0),
            0u);
}

TEST_F(LocalTriggers, InsComandaVenTempQueuesAnOrderOnceWhenItBecomesReadyForExport) {
  order("1", "", "1");
  EXPECT_EQ(count("SELECT COUNT(*) FROM COMANDAVENTEMP"), 0);
  local->execute("UPDATE COMANDAVEN SET IDIMPCUPEXP = '2' WHERE NRCOMANDA = '1'");
  EXPECT_EQ(count("SELECT COUNT(*) FROM COMANDAVENTEMP WHERE NRCOMANDA = '1' AND CDLOJA = '0001'"),
            1);
  // Already ready: other changes, even after the queue was emptied, do not queue it again.
  local->execute("DELETE FROM COMANDAVENTEMP");
  local->execute("UPDATE COMANDAVEN SET DSCOMANDA = 'MESA 2' WHERE NRCOMANDA = '1'");
  EXPECT_EQ(count("SELECT COUNT(*) FROM COMANDAVENTEMP"), 0);

  // Orders inserted ready, several in one statement, each queued once.
  local->execute(
      "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, CDLOJA, IDIMPCUPEXP, "
      "IDFECHAMENTOAPI) SELECT CDFILIAL, NRVENDAREST, NRCOMANDA + '0', CDLOJA, '2', 'N' FROM "
      "COMANDAVEN UNION ALL SELECT CDFILIAL, NRVENDAREST, NRCOMANDA + '1', CDLOJA, '2', 'S' FROM "
      "COMANDAVEN");
  EXPECT_EQ(count("SELECT COUNT(*) FROM COMANDAVENTEMP"), 1);
  EXPECT_EQ(text("SELECT NRCOMANDA FROM COMANDAVENTEMP"), "10");
}

TEST_F(LocalTriggers, DelPedidoDlvLogsEachDeletedDeliveryOrder) {
  local->execute("INSERT INTO CAIXA (CDFILIAL, CDCAIXA, CDLOJA) VALUES ('0001', '002', '0001')");
  local->execute("INSERT INTO CAIXA (CDFILIAL, CDCAIXA, CDLOJA) VALUES ('0001', '001', '0001')");
  local->execute("INSERT INTO CAIXA (CDFILIAL, CDCAIXA, CDLOJA) VALUES ('0001', '000', '0002')");
  local->execute("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR) VALUES ('0007', 'ANA')");
  local->execute(
      "INSERT INTO VENDAREST (CDFILIAL, CDLOJA, NRVENDAREST, CDOPERADOR) VALUES ('0001', '0001', "
      "'10', '0007')");
  order("1", "DLV_APP", "5", "DLV_123");
  order("2", "", "1", "MESA 4");
  order("3", "DLV_APP", "3", "DLV_124");

  local->execute("DELETE FROM COMANDAVEN");
  const Rows logged = linesOf(
      "SELECT CDFILIAL, CDCAIXA, IDOPERKIV, CDOPERCAIXA, NMOPERCAIXA, CDOPERRESPOP, NMOPERRESPOP, "
      "DSMOTIVOKIV, DSLIVREKIV, IDIMPLOGOPERKIV, DTHROPERKIV FROM LOGOPERKIV ORDER BY DSLIVREKIV",
      {}, [](db::Rows& r) {
        EXPECT_EQ(r.at(10).asDateTime().parts().millisecond, 0);
        std::string line;
        for (size_t i = 0; i < 10; ++i) line += (i ? "|" : "") + r.at(i).asText();
        return line;
      });
  const std::string logger = "0001|001|DEL_PED|0007|ANA|0007|ANA|Deletar pedido delivery.|";
  EXPECT_EQ(logged, (Rows{logger + "CDLOJA=0001 NRVENDAREST=10 NRCOMANDA=1 IDSTCOMANDA=5 MAQUINA=" +
                              hostName() + "|N",
                          logger + "CDLOJA=0001 NRVENDAREST=10 NRCOMANDA=3 IDSTCOMANDA=3 MAQUINA=" +
                              hostName() + "|N"}));
}

TEST_F(LocalTriggers, TrgIdTipoMoviveAuxCopiesTheTypeOfEveryInsertedMovement) {
  local->execute(
      "INSERT INTO MOVCAIXA (CDFILIAL, CDCAIXA, NRSEQVENDA, NRSEQUMOVI, IDTIPOMOVIVE) VALUES "
      "('0001', '001', '1', '1', 'V')");
  local->execute(
      "INSERT INTO MOVCAIXA (CDFILIAL, CDCAIXA, NRSEQVENDA, NRSEQUMOVI, IDTIPOMOVIVE) SELECT "
      "CDFILIAL, CDCAIXA, '2', NRSEQUMOVI, 'T' FROM MOVCAIXA UNION ALL SELECT CDFILIAL, CDCAIXA, "
      "'3', NRSEQUMOVI, 'S' FROM MOVCAIXA");
  EXPECT_EQ(count("SELECT COUNT(*) FROM MOVCAIXA WHERE IDTIPOMOVIVEAUX = IDTIPOMOVIVE"), 3);
  local->execute("UPDATE MOVCAIXA SET IDTIPOMOVIVE = 'X'");
  EXPECT_EQ(count("SELECT COUNT(*) FROM MOVCAIXA WHERE IDTIPOMOVIVEAUX = 'X'"), 0);
}

TEST_F(LocalTriggers, LogNfceRecordsInvoiceChangesOfNormalSalesNumberedPerSale) {
  sale("1", "N", nullptr);
  sale("2", "N", "1");
  sale("3", "C", "1");
  EXPECT_EQ(invoiceLog("1"), Rows{});
  EXPECT_EQ(invoiceLog("2"), Rows{"001/001 IN"});
  EXPECT_EQ(invoiceLog("3"), Rows{});

  local->execute("UPDATE VENDA SET VRTOTVENDA = 10");
  EXPECT_EQ(count("SELECT COUNT(*) FROM LOGNFCE"), 1);
  local->execute("UPDATE VENDA SET IDSTATUSNFCE = 'A' WHERE NRSEQVENDA IN ('1', '2', '3')");
  EXPECT_EQ(invoiceLog("1"), Rows{"001/001 IN"});  // no log yet: an insertion
  EXPECT_EQ(invoiceLog("2"), (Rows{"001/001 IN", "002/002 UN"}));
  EXPECT_EQ(invoiceLog("3"), Rows{});
  local->execute("UPDATE VENDA SET IDSITUVENDA = 'C' WHERE NRSEQVENDA = '2'");
  local->execute("UPDATE VENDA SET DTEMISSAONFCE = GETDATE() WHERE NRSEQVENDA = '2'");
  EXPECT_EQ(invoiceLog("2"), (Rows{"001/001 IN", "002/002 UN", "003/003 UN", "004/004 UN"}));

  auto r = local->query(
      "SELECT DSREMOTEHOST, DSSERVMETHOD, DSSERVERRDM, DSREMOTEOPER, CDSERIENFCE, DTHRLOGNFCE "
      "FROM LOGNFCE WHERE NRSEQVENDA = '2' AND NRSEQLOGNFCE = '001'");
  ASSERT_TRUE(r->next());
  EXPECT_EQ(r->at(0).asText(), hostName());
  EXPECT_EQ(r->at(1).asText(), "");
  EXPECT_EQ(r->at(2).asText() + r->at(3).asText(), "");
  EXPECT_EQ(r->at(4).asText(), "1");
  EXPECT_FALSE(r->at(5).isNull());
}

TEST_F(LocalTriggers, InsHistPedConsRecordsTheDeliveryStatusesFromTwo) {
  order("1", "DLV_APP", "5");
  EXPECT_EQ(history("1"), Rows{"002 S Pedido Saiu para Entrega"});
  setStatus("1", "X");
  EXPECT_EQ(history("1"), (Rows{"002 S Pedido Saiu para Entrega",
                                "003 E Pedido Entregue ao Consumidor", "004 F Pedido Finalizado"}));
  local->execute("UPDATE COMANDAVEN SET DSCOMANDA = 'OUTRA' WHERE NRCOMANDA = '1'");
  EXPECT_EQ(history("1").size(), 3u);

  order("2", "DLV_APP", "3");
  setStatus("2", "1");  // not a delivery status
  setStatus("2", "4");
  EXPECT_EQ(history("2"), (Rows{"002 P Pedido em Preparação", "003 C Pedido Cancelado"}));
  order("3", "MESA", "5");
  EXPECT_EQ(history("3"), Rows{});
}

TEST_F(LocalTriggers, InsCmdLogAndVdItCmdUndoDeletesOfTheManagementToolOnly) {
  order("1", "", "1");
  local->execute(
      "INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, "
      "QTPRODCOMVEN, VRPRECCOMVEN, NRLUGARMESA) VALUES ('0001', '10', '1', '1', 'P1', 2, 3.5, "
      "'4'), ('0001', '10', '1', '2', 'P2', 1, 9, NULL)");
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITCMD_LOG WHERE IDEXPREGISTRO = 'N'"), 2);
  EXPECT_EQ(text("SELECT CDPRODUTO + '/' + NRLUGARMESA FROM ITCMD_LOG WHERE NRPRODCOMVEN = '1'"),
            "P1/4");
  EXPECT_EQ(scalar("SELECT VRPRECCOMVEN FROM ITCMD_LOG WHERE NRPRODCOMVEN = '1'").asDouble(), 3.5);
  EXPECT_EQ(text("SELECT IDOPERAC + DSHOST + IDEXPREGISTRO FROM CMD_LOG"), "1" + hostName() + "N");

  // The management tool's deletes are undone, and still logged.
  auto studio = tool();
  studio->execute("DELETE FROM ITCOMANDAVEN WHERE NRPRODCOMVEN = '1'");
  studio->execute("DELETE FROM COMANDAVEN WHERE NRCOMANDA = '1'");
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITCOMANDAVEN"), 2);
  EXPECT_EQ(count("SELECT COUNT(*) FROM COMANDAVEN"), 1);
  EXPECT_EQ(text("SELECT DSAPP FROM CMD_LOG WHERE IDOPERAC = '3'"),
            "Microsoft SQL Server Management Studio - Query");
  studio.reset();

  // The register's deletes go through, logged with the statement that made them.
  local->execute("DELETE FROM ITCOMANDAVEN");
  local->execute("DELETE FROM COMANDAVEN WHERE NRCOMANDA = '1'");
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITCOMANDAVEN"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM COMANDAVEN"), 0);
  auto r = local->query(
      "SELECT DSTEXT, DSCOMANDA, DTHRREGISTRO FROM CMD_LOG WHERE IDOPERAC = '3' AND DSAPP = ''");
  ASSERT_TRUE(r->next());
  EXPECT_EQ(r->at(0).asText(), "DELETE FROM COMANDAVEN WHERE NRCOMANDA = '1'");
  EXPECT_EQ(r->at(1).asText(), "MESA 1");
  EXPECT_EQ(r->at(2).asDateTime().parts().millisecond, 0);
}

}  // namespace
