#pragma once

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace download::testing {

// A local database holding the ledger tables and the tables its rules look at.
class LedgerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* ddl : {
             "CREATE TABLE CTRLBAIXATAB (CDFILIAL VARCHAR(4), NMTABELA VARCHAR(30), CDCAIXA "
             "VARCHAR(3), DTULTATUTAB DATETIME, DTULTATU DATETIME)",
             "CREATE TABLE CTRLATUALTAB (NMTABELA VARCHAR(30), DSCHAVE VARCHAR(100), DTULTATU "
             "DATETIME, NRORG VARCHAR(4))",
             "CREATE TABLE ITEMPRECO (CDPRODUTO VARCHAR(10), DTULTATUITPR DATETIME)",
             "CREATE TABLE ITMENUCONFTE (NRCONFTELA VARCHAR(4), DTULTATUITCT DATETIME)",
             "CREATE TABLE CONFTELACAIXA (NRCONFTELA VARCHAR(4), CDCAIXA VARCHAR(3))",
             "CREATE TABLE CAIXA (CDFILIAL VARCHAR(4), CDCAIXA VARCHAR(3), DSCAIXATAB "
             "VARCHAR(40))",
             "CREATE TABLE CONSUMIDOR (CDCLIENTE VARCHAR(10), CDCONSUMIDOR VARCHAR(10), "
             "DTULTATUCSUM DATETIME)",
             "CREATE TABLE PRODUTO (CDPRODUTO VARCHAR(10), DTULTATUPROD DATETIME)",
             "CREATE TABLE EXTRATOCONS (NRSEQ INT, DTULTATUEXT DATETIME)",
             "CREATE TABLE MOVICLIE (NRMOV INT, DTULTATUMCLI DATETIME)",
             "CREATE TABLE MOVBENEFICIOCTR (NRMOV INT, DTULTATU DATETIME)",
             "CREATE TABLE ROTFABLOCAL (CDROT VARCHAR(4), DTULTATURTFL DATETIME)",
             "CREATE TABLE ROTFABRICA (CDROT VARCHAR(4), DTULTATURTFA DATETIME)",
             "CREATE TABLE ITEMPRECODIA (CDPRODUTO VARCHAR(10), DTULTATUITPD DATETIME)",
             "CREATE TABLE ITEMPRECOGER (CDPRODUTO VARCHAR(10), DTULTATU DATETIME)",
             "CREATE TABLE ITEMPRECODIAGER (CDPRODUTO VARCHAR(10), DTULTATU DATETIME)",
             "CREATE TABLE PARAVEND (CDFILIAL VARCHAR(4), NRDIASVERMOVCLI INT, IDEXTCONSONLINE "
             "VARCHAR(1))",
             "CREATE TABLE VENDAREST (NRVENDA INT, CDCONSUMIDOR VARCHAR(10))",
         })
      db.execute(ddl);
  }

  // A control row written directly, so that NULL dates and birth dates can be set up.
  void control(const std::string& table, const db::Value& dtUltAtuTab,
               const db::Value& dtUltAtu = db::DateTime::fromParts(2026, 1, 1),
               const std::string& caixa = "", const std::string& filial = "0001") {
    db.execute(
        "INSERT INTO CTRLBAIXATAB (CDFILIAL, NMTABELA, CDCAIXA, DTULTATUTAB, DTULTATU) VALUES "
        "(:P_CDFILIAL, :P_NMTABELA, :P_CDCAIXA, :P_DTULTATUTAB, :P_DTULTATU)",
        {{"P_CDFILIAL", filial},
         {"P_NMTABELA", table},
         {"P_CDCAIXA", caixa},
         {"P_DTULTATUTAB", dtUltAtuTab},
         {"P_DTULTATU", dtUltAtu}});
  }

  testing_support::ObservedConnection db;
  Recorder log;
};

}  // namespace download::testing
