// Reading a 1,000,000-row, 10-column data packet: binary against XML, and the loaded dataset's
// memory against the binary packet's size. Times are reported as ratios to baselines measured
// in the same process (copying the packet bytes), never as absolute claims.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "db/dataset/dataset.h"

namespace {

// Processor time of this process, so that other work on a shared machine does not skew ratios.
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

db::DataSet makeDataSet(size_t rows) {
  db::DataSet ds("cdsBench");
  ds.createDataSet({db::makeField("CDFILIAL", db::FieldType::String, 4),
                    db::makeField("CDPRODUTO", db::FieldType::String, 20),
                    db::makeField("NMPRODUTO", db::FieldType::String, 60),
                    db::makeField("SGUNIDADE", db::FieldType::String, 3),
                    db::makeField("NRSEQ", db::FieldType::Int32),
                    db::makeField("QTESTOQUE", db::FieldType::Int32),
                    db::makeField("VRPRECO", db::FieldType::Float),
                    db::makeField("VRCUSTO", db::FieldType::Float),
                    db::makeField("DTINIVIG", db::FieldType::DateTime),
                    db::makeField("DTULTATU", db::FieldType::DateTime)});
  ds.setLogChanges(false);
  const db::DateTime base = db::DateTime::fromParts(2026, 1, 1);
  std::vector<db::Field> f;
  for (size_t i = 0; i < ds.fieldCount(); ++i) f.push_back(ds.field(i));
  for (size_t r = 0; r < rows; ++r) {
    ds.append();
    f[0].setString("0001");
    f[1].setString(std::to_string(100000 + r));
    f[2].setString("PRODUTO DE TESTE " + std::to_string(r % 977));
    f[3].setString("UN");
    f[4].setInteger(static_cast<int64_t>(r));
    f[5].setInteger(static_cast<int64_t>(r % 1000));
    f[6].setFloat(static_cast<double>(r % 10000) / 100.0);
    f[7].setFloat(static_cast<double>(r % 7000) / 100.0);
    f[8].setDateTime(base.addDays(static_cast<int64_t>(r % 365)));
    f[9].setDateTime(base.addMs(static_cast<int64_t>(r) * 1000 + 123));
    ds.post();
  }
  return ds;
}

template <typename F>
double bestSeconds(int runs, F&& f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const double t0 = cpuSeconds();
    f();
    best = std::min(best, cpuSeconds() - t0);
  }
  return best;
}

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t rows = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1'000'000;
  db::Bytes binary, xml;
  {
    db::DataSet source = makeDataSet(rows);
    binary = source.toPacket(db::PacketFormat::Binary);
    xml = source.toPacket(db::PacketFormat::Xml);
  }
  std::printf("rows %zu, binary packet %.1f MB, XML packet %.1f MB\n", rows,
              static_cast<double>(binary.size()) / 1e6, static_cast<double>(xml.size()) / 1e6);

  std::vector<char> sink(binary.size());
  const double copy =
      bestSeconds(5, [&] { std::memcpy(sink.data(), binary.data(), binary.size()); });
  const double readBinary = bestSeconds(3, [&] {
    db::DataSet ds;
    ds.setData(binary);
  });
  const double readXml = bestSeconds(2, [&] {
    db::DataSet ds;
    ds.setData(xml);
  });
  const long before = residentKb();
  db::DataSet loaded;
  loaded.setData(binary);
  const long after = residentKb();

  std::printf("binary read / copying the packet bytes: %.1fx\n", readBinary / copy);
  std::printf("XML read / binary read: %.2fx (target at least 5x)\n", readXml / readBinary);
  std::printf(
      "dataset memory / binary packet size: %.2fx by capacity, %.2fx by resident growth"
      " (target at most 2.5x)\n",
      static_cast<double>(loaded.memoryUsed()) / static_cast<double>(binary.size()),
      static_cast<double>(after - before) * 1024.0 / static_cast<double>(binary.size()));
  return 0;
}
