#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../support/forwarding_connection.h"
#include "db/dataset/dataset.h"
#include "download/download_state.h"
#include "load/delete_cache.h"
#include "postload_support.h"

namespace load::testing {

inline db::DateTime at(int year, int month, int day, int hour = 0, int minute = 0) {
  return db::DateTime::fromParts(year, month, day, hour, minute);
}

// Rolls the open transaction back when a statement fails, as SQL Server does on a
// batch-aborting error such as a conversion error.
class BatchAbortingConnection : public testing_support::ForwardingConnection {
 public:
  using ForwardingConnection::ForwardingConnection;

  db::Statement& prepare(std::string_view sql) override {
    db::Statement& inner = ForwardingConnection::prepare(sql);
    auto& wrapped = statements_[&inner];
    if (!wrapped) wrapped = std::make_unique<AbortingStatement>(inner, *this);
    return *wrapped;
  }

  int aborts = 0;

 private:
  class AbortingStatement : public db::Statement {
   public:
    AbortingStatement(db::Statement& inner, BatchAbortingConnection& owner)
        : inner_(inner), owner_(owner) {}
    const std::string& text() const override { return inner_.text(); }
    const std::vector<std::string>& parameterNames() const override {
      return inner_.parameterNames();
    }
    // The embedded engine converts a text for a date column when it is bound; SQL Server
    // would fail the statement that uses it.
    void bind(size_t index, const db::Value& value) override {
      try {
        inner_.bind(index, value);
      } catch (const db::Error&) {
        owner_.abort();
        throw;
      }
    }
    int64_t execute() override {
      try {
        return inner_.execute();
      } catch (const db::Error&) {
        owner_.abort();
        throw;
      }
    }
    std::unique_ptr<db::Rows> query() override {
      try {
        return inner_.query();
      } catch (const db::Error&) {
        owner_.abort();
        throw;
      }
    }

   private:
    db::Statement& inner_;
    BatchAbortingConnection& owner_;
  };

  void abort() {
    ++aborts;
    if (inner().inTransaction()) inner().rollback();
  }

  std::map<const db::Statement*, std::unique_ptr<AbortingStatement>> statements_;
};

// A local database with the ledger and a few cache tables, and a download state whose cache
// datasets the tests fill.
class DeleteCacheFixture : public LocalFixture {
 protected:
  void SetUp() override {
    run(
        {"CREATE TABLE CTRLBAIXATAB (CDFILIAL VARCHAR(4), NMTABELA VARCHAR(30), CDCAIXA "
         "VARCHAR(3), DTULTATUTAB DATETIME, DTULTATU DATETIME)",
         "CREATE TABLE PRODUTO (CDPRODUTO VARCHAR(20), NMPRODUTO VARCHAR(40), DTULTATUPROD "
         "DATETIME)",
         "CREATE TABLE CLIENTE (CDCLIENTE VARCHAR(20), DTULTATUCLIE DATETIME)",
         "CREATE TABLE TABEVEND (CDFILIAL VARCHAR(4), CDTABEPREC VARCHAR(3), DTINIVGPREC "
         "DATETIME, DTULTATUTBVE DATETIME)",
         "CREATE TABLE ITEMPRECO (CDFILIAL VARCHAR(4), CDTABEPREC VARCHAR(3), DTINIVGPREC "
         "DATETIME, CDPRODUTO VARCHAR(20), CDPRPAITABPR VARCHAR(20), DTULTATUITPR DATETIME)",
         "CREATE TABLE ITEMPRECODIA (CDFILIAL VARCHAR(4), CDTABEPREC VARCHAR(3), DTINIVGPREC "
         "DATETIME, CDPRODUTO VARCHAR(20), CDPRPAITABPR VARCHAR(20), NRDIASEMANPR INT, "
         "HRINIPRECDIA VARCHAR(5), CDTIPOCONSPD VARCHAR(4), DTULTATUITPD DATETIME)",
         "CREATE TABLE ITMENUCONFTE (CDFILIAL VARCHAR(4), NRCONFTELA VARCHAR(4), IDTPBUTTON "
         "CHAR(1), NRBUTTON INT, NRPGCONFTELA INT, IDTPBUTONAUX CHAR(1), NRBUTTONAUX INT, "
         "NRPGCONFTAUX INT, IDTPBUTONAUX2 CHAR(1), NRBUTTONAUX2 INT, NRPGCONFTAUX2 INT, "
         "DTULTATUITCT DATETIME)",
         "CREATE TABLE FILIAL (CDFILIAL VARCHAR(4), CDSEGMER VARCHAR(4))",
         "INSERT INTO FILIAL VALUES ('0001', NULL)"});
  }

  // A cache dataset with the usual two fields and the given (key text, deletion time) rows.
  db::DataSet& cache(const std::string& name,
                     const std::vector<std::pair<std::string, db::DateTime>>& rows,
                     bool withDeletionTime = true) {
    db::DataSet& ds = state.dataset(name);
    std::vector<db::FieldDef> fields(withDeletionTime ? 2 : 1);
    fields[0].name = "DSKEYCACHE";
    fields[0].type = db::FieldType::String;
    fields[0].size = 500;
    if (withDeletionTime) {
      fields[1].name = "DTULTATUCACH";
      fields[1].type = db::FieldType::DateTime;
    }
    ds.createDataSet(fields);
    for (const auto& [key, when] : rows) {
      if (withDeletionTime)
        ds.appendRecord({key, when});
      else
        ds.appendRecord({key});
    }
    return ds;
  }

  void product(const std::string& code, db::DateTime updated) {
    db->execute("INSERT INTO PRODUTO VALUES (:C, 'x', :D)", {{"C", code}, {"D", updated}});
  }

  // One local screen button and its deletion in the screen-menu cache, keyed by all eleven key
  // columns.
  void screenButtonDeletedCentrally() {
    run(
        {"INSERT INTO ITMENUCONFTE VALUES ('0001', '10', 'P', 1, 1, 'N', 0, 0, 'N', 0, 0, "
         "'2026-01-01')"});
    cache("cdsCacheConfte", {{"CDFILIAL=0001;NRCONFTELA=10;IDTPBUTTON=P;NRBUTTON=1;NRPGCONFTELA=1;"
                              "IDTPBUTONAUX=N;NRBUTTONAUX=0;NRPGCONFTAUX=0;IDTPBUTONAUX2=N;"
                              "NRBUTTONAUX2=0;NRPGCONFTAUX2=0;",
                              at(2026, 2, 1)}});
  }

  db::Value ledgerDate(const std::string& table, const std::string& reg = "") {
    auto rows =
        db->query("SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE NMTABELA = :T AND CDCAIXA = :R",
                  {{"T", table}, {"R", reg}});
    return rows->next() ? db::Value(rows->at(0).asDateTime()) : db::Value();
  }

  download::DownloadState state;
  int imageLoads = 0;
  DeleteCache deleteCache{*db, services, state, [this] { ++imageLoads; }};
};

}  // namespace load::testing
