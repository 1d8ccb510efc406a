#include "central/world/domains.h"

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "central/world/world.h"

namespace central::world {
namespace {

class ListDomain : public Domain {
 public:
  explicit ListDomain(std::vector<std::string> values) : values_(std::move(values)) {}
  int64_t size(int) const override { return static_cast<int64_t>(values_.size()); }
  db::Value value(int64_t index) const override { return values_[index % values_.size()]; }

 private:
  std::vector<std::string> values_;
};

// Zero-padded numeric codes 1..n, n = fixed + perScale * scale.
class CodeDomain : public Domain {
 public:
  CodeDomain(int width, int64_t fixed, int64_t perScale)
      : width_(width), fixed_(fixed), perScale_(perScale) {}
  int64_t size(int scale) const override { return fixed_ + perScale_ * scale; }
  db::Value value(int64_t index) const override {
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld", width_, static_cast<long long>(index + 1));
    return std::string(text);
  }

 private:
  int width_;
  int64_t fixed_, perScale_;
};

// Dates counted back from the world's base date, in days.
class DateDomain : public Domain {
 public:
  explicit DateDomain(std::vector<int> daysBack) : daysBack_(std::move(daysBack)) {}
  int64_t size(int) const override { return static_cast<int64_t>(daysBack_.size()); }
  db::Value value(int64_t index) const override {
    return worldBaseDate().addDays(-daysBack_[index % daysBack_.size()]);
  }

 private:
  std::vector<int> daysBack_;
};

using DomainTable = std::map<std::string, std::shared_ptr<const Domain>, std::less<>>;

DomainTable makeDomains() {
  auto list = [](std::vector<std::string> v) { return std::make_shared<ListDomain>(v); };
  auto codes = [](int width, int64_t fixed, int64_t perScale) {
    return std::make_shared<CodeDomain>(width, fixed, perScale);
  };
  const auto branches = list({kBranches[0], kBranches[1]});
  const auto products = codes(10, 0, 100);
  const auto clients = codes(9, 0, 10);
  const auto consumers = codes(4, 30, 0);
  return DomainTable{
      {"CDFILIAL", branches},
      {"CDFILICAIXA", branches},
      {"CDCAIXA", list({"001", "002", "009"})},
      {"CDLOJA", list({"0001", "0002"})},
      {"CDPRODUTO", products},
      {"CDPRODPROMOCAO", products},
      {"CDSUBPRODUTO", products},
      {"CDSUBPRODLOC", products},
      {"CDPRPAITABPR", list({"0"})},
      {"CDCLIENTE", clients},
      {"CDCONSUMIDOR", consumers},
      {"CDFAMILISALD", codes(2, 3, 0)},
      {"CDTABEPREC", codes(3, 5, 0)},
      {"DTINIVGPREC", std::make_shared<DateDomain>(std::vector<int>{60, 30})},
      {"DTINIVIGENCIA", std::make_shared<DateDomain>(std::vector<int>{90})},
      {"CDSEGMER", list({"0001"})},
      {"CDIMPOSTO", codes(2, 4, 0)},
      {"CDOPERADOR", codes(4, 20, 0)},
      {"CDGRUPOPER", codes(2, 3, 0)},
      {"NRCONFTELA", codes(4, 4, 0)},
      {"CDSETOR", codes(3, 5, 0)},
      {"CDGRPOCOR", codes(3, 5, 0)},
      {"CDOCORR", codes(3, 10, 0)},
      {"CDGRUPPROD", codes(3, 10, 0)},
      {"CDPAIS", list({"1058"})},
      {"SGESTADO", list({"SP", "RJ"})},
      {"CDMUNICIPIO", codes(7, 5, 0)},
      {"CDEMPRESA", list({"01"})},
      {"CDTIPOCONS", codes(3, 3, 0)},
      {"CDTIPOCONSPD", codes(3, 3, 0)},
      {"CDCAMPANHA", codes(4, 3, 0)},
      {"CDTIPORECE", codes(3, 5, 0)},
      {"CDVENDEDOR", codes(4, 10, 0)},
      {"SGUNIDADE", list({"UN", "KG", "LT"})},
      {"CDGRUPROMOC", codes(4, 4, 0)},
      {"CDSERVFILI", codes(3, 3, 0)},
      {"CDIMPRESSORA", codes(3, 4, 0)},
      {"CDMENSAGEM", codes(4, 5, 0)},
      {"IDTPARQMAG", list({"SINTEGRA", "SPED", "DIGITAL"})},
  };
}

}  // namespace

const Domain* domainOf(std::string_view columnName) {
  static const DomainTable domains = makeDomains();
  auto it = domains.find(columnName);
  return it == domains.end() ? nullptr : it->second.get();
}

}  // namespace central::world
