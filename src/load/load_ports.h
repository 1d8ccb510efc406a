#pragma once

#include <cstdint>

#include "db/core/connection.h"
#include "download/statement_files/server_file_transfer.h"

namespace load {

// The server-built statement files, as the load uses them: one load per request, the count of
// statements it ran, and the two success flags a failed file clears.
class ServerFiles {
 public:
  virtual ~ServerFiles() = default;
  virtual void baixaArquivoServidor(const download::ServerFileRequest& request) = 0;
  virtual int64_t totalStatements() const = 0;
  virtual bool& consumerLoadOk() = 0;
  virtual bool& extractLoadOk() = 0;
};

// ServerFiles over the download's transfer.
class TransferFiles : public ServerFiles {
 public:
  explicit TransferFiles(download::ServerFileTransfer& transfer) : transfer_(transfer) {}
  void baixaArquivoServidor(const download::ServerFileRequest& request) override {
    transfer_.baixaArquivoServidor(request);
  }
  int64_t totalStatements() const override { return transfer_.totalStatements(); }
  bool& consumerLoadOk() override { return transfer_.consumerLoadOk; }
  bool& extractLoadOk() override { return transfer_.extractLoadOk; }

 private:
  download::ServerFileTransfer& transfer_;
};

// The central consumer mirror (adcBancoCentral), active only when the branch's
// IDSENCONSCENTRAL is 'S'. Its failures never stop the load: the helpers swallow them.
class CentralMirror {
 public:
  virtual ~CentralMirror() = default;
  virtual bool active() const { return false; }
  virtual void begin() {}
  virtual void commit() {}
  virtual void rollback() {}
  // The mirror's connection while active; nullptr otherwise.
  virtual db::Connection* connection() { return nullptr; }
};

}  // namespace load
