#include "download/anticipation.h"
#include "load/consumer_merge.h"
#include "load/keyed_merge.h"
#include "wiring/stage_factories.h"

namespace wiring {

namespace {

// The consumer mirror of the branch (adcBancoCentral), when its parameters keep one.
class AnticipationMirror : public load::CentralMirror {
 public:
  explicit AnticipationMirror(app::Connections& connections) : connections_(connections) {}
  bool active() const override {
    return connections_.hasBaixaTabelas() && connections_.dtmBaixaTabelas().idSenConsCentral == "S";
  }
  void begin() override { connections_.beginBancoCentral(); }
  void commit() override { connections_.commitBancoCentral(); }
  void rollback() override { connections_.rollbackBancoCentral(); }
  db::Connection* connection() override {
    if (!active()) return nullptr;
    auto& central = connections_.dtmBaixaTabelas().adcBancoCentral;
    return central && central->isOpen() ? central.get() : nullptr;
  }

 private:
  app::Connections& connections_;
};

// The load's merges for the anticipated packets: the consumer member for CONSUMIDOR, the keyed
// member of the table otherwise, with its ledger recording left out when the settings say so.
class LoadMerges : public download::AnticipationMerges {
 public:
  explicit LoadMerges(DownloadContext& context)
      : env_(environmentOf(context)),
        load_{context.local, context.state, env_, context.files.keepAlive()},
        mirror_(context.run.connections) {}

  void mergeTable(std::string_view table, const download::MergeSettings& settings) override {
    if (table == "CONSUMIDOR") {
      load::ConsumerMerge(load_, mirror_).run();
      return;
    }
    load::MergeTable member = load::mergeTable(table);
    if (!settings.recordLedger) member.variants &= ~(load::kLedger | load::kLedgerOnFlag);
    load::KeyedMerge(load_).run(member);
  }

 private:
  static load::LoadEnvironment environmentOf(DownloadContext& context) {
    load::LoadEnvironment env;
    env.log = context.services.log;
    env.processMessages = context.services.processMessages;
    env.now = context.services.now;
    env.programDirectory = context.run.package.programDirectory();
    return env;
  }

  load::LoadEnvironment env_;
  load::LoadContext load_;
  AnticipationMirror mirror_;
};

// The anticipation with the merges it is built on; it also finishes each consumer statement file
// of the server-file transfer.
class WiredAnticipation : public download::AnticipationStage {
 public:
  WiredAnticipation(DownloadContext& context, download::CleanupStage& cleanup)
      : files_(context.files),
        merges_(context),
        anticipation_(context.local, context.server, context.files, context.services, context.state,
                      merges_, cleanup) {
    files_.setHooks(&anticipation_);
  }
  ~WiredAnticipation() override { files_.setHooks(nullptr); }
  WiredAnticipation(const WiredAnticipation&) = delete;
  WiredAnticipation& operator=(const WiredAnticipation&) = delete;

  void anticipateConfTelaCaixa(const std::string& branch,
                               const std::string& cashRegister) override {
    anticipation_.anticipateConfTelaCaixa(branch, cashRegister);
  }
  void antecipaPorHierarquia(const std::string& branch, const std::string& cashRegister,
                             std::string_view group) override {
    anticipation_.antecipaPorHierarquia(branch, cashRegister, group);
  }
  void catchUpConsumersByChangeDate(const std::string& branch) override {
    anticipation_.catchUpConsumersByChangeDate(branch);
  }
  void catchUpConsumersByClienFilial(const std::string& branch) override {
    anticipation_.catchUpConsumersByClienFilial(branch);
  }

 private:
  download::ServerFileTransfer& files_;
  LoadMerges merges_;
  download::Anticipation anticipation_;
};

}  // namespace

std::unique_ptr<download::AnticipationStage> makeAnticipationStage(
    DownloadContext& context, download::CleanupStage& cleanup) {
  return std::make_unique<WiredAnticipation>(context, cleanup);
}

}  // namespace wiring
