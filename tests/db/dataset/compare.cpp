#include "compare.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "test_paths.h"

namespace dataset_test {
namespace {

std::string xmlName(const std::string& name) {
  std::string out;
  for (const char c : name) out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return out;
}

double round15(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.15g", v);
  return std::strtod(b, nullptr);
}

}  // namespace

std::string differences(db::DataSet& a, db::DataSet& b, CompareOptions options) {
  if (a.fieldCount() != b.fieldCount()) return a.name() + ": field counts differ";
  for (size_t f = 0; f < a.fieldCount(); ++f) {
    const db::FieldDef& x = a.fieldDefs()[f];
    const db::FieldDef& y = b.fieldDefs()[f];
    const bool sameName =
        options.namesAsXmlAttributes ? xmlName(x.name) == xmlName(y.name) : x.name == y.name;
    if (!sameName || x.type != y.type || x.size != y.size || x.subtype != y.subtype ||
        x.attributes != y.attributes || x.decimals != y.decimals) {
      return "field " + x.name + " / " + y.name + " differs in its definition";
    }
  }
  if (a.recordCount() != b.recordCount()) {
    return a.name() + ": " + std::to_string(a.recordCount()) + " rows against " +
           std::to_string(b.recordCount());
  }
  a.first();
  b.first();
  for (size_t row = 0; !a.eof(); ++row, a.next(), b.next()) {
    for (size_t f = 0; f < a.fieldCount(); ++f) {
      const db::FieldDef& def = a.fieldDefs()[f];
      if (def.type == db::FieldType::Nested) {
        const std::string inner = differences(a.nested(def.name), b.nested(def.name), options);
        if (!inner.empty()) return "row " + std::to_string(row) + " " + def.name + ": " + inner;
        continue;
      }
      db::Value x = a.field(f).value();
      db::Value y = b.field(f).value();
      if (options.floatsTo15Digits && x.kind() == db::Value::Kind::Double &&
          y.kind() == db::Value::Kind::Double) {
        x = db::Value(round15(x.getDouble()));
        y = db::Value(round15(y.getDouble()));
      }
      if (!(x == y)) {
        return "row " + std::to_string(row) + " field " + def.name + ": \"" +
               x.asText().substr(0, 60) + "\" against \"" + y.asText().substr(0, 60) + "\"";
      }
    }
  }
  return "";
}

std::string sampleFilesDirectory() {
  const char* overridden = std::getenv("KIVTAB_FIXTURES");
  return overridden && *overridden ? overridden : KIVTAB_FIXTURES;
}

bool sampleFilesPresent() {
  return std::filesystem::is_directory(std::filesystem::path(sampleFilesDirectory()) / "cds");
}

std::string fixture(const std::string& name) { return sampleFilesDirectory() + "/cds/" + name; }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace dataset_test
