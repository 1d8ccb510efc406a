#include "download/anticipation/anticipation.h"
#include "load/consumer_merge.h"
#include "load/keyed_merge.h"
#include "wiring/load_adapters.h"
#include "wiring/stage_factories.h"

namespace wiring {

namespace {

// The load's merges for the anticipated packets: the consumer member for CONSUMIDOR, the keyed
// member of the table otherwise, with its ledger recording left out when the settings say so.
class LoadMerges : public download::AnticipationMerges {
 public:
  explicit LoadMerges(DownloadContext& context)
      : env_(loadEnvironmentOf(context)),
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
  load::LoadEnvironment env_;
  load::LoadContext load_;
  RunMirror mirror_;
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
