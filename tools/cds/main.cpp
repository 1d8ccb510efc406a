// kivtab-cds: look into and convert client-dataset files (binary or XML data packets).
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "db/dataset/dataset.h"
#include "render.h"

namespace {

constexpr char kUsage[] =
    "usage: kivtab-cds dump FILE [--format json|csv|xml]\n"
    "       kivtab-cds convert IN OUT --format binary|xml\n";

int usage() {
  std::cerr << kUsage;
  return 2;
}

// Returns the value of --format (or "" when absent) and removes it from args.
std::string takeFormat(std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--format" && i + 1 < args.size()) {
      std::string f = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                 args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
      return f;
    }
  }
  return "";
}

int dump(std::vector<std::string> args) {
  std::string format = takeFormat(args);
  if (format.empty()) format = "json";
  if (args.size() != 1) return usage();
  db::DataSet ds;
  ds.loadFromFile(args[0]);
  if (format == "json") {
    std::cout << cds::renderJson(ds);
  } else if (format == "csv") {
    std::cout << cds::renderCsv(ds);
  } else if (format == "xml") {
    const db::Bytes xml = ds.toPacket(db::PacketFormat::Xml);
    std::cout.write(reinterpret_cast<const char*>(xml.data()),
                    static_cast<std::streamsize>(xml.size()));
    std::cout << "\n";
  } else {
    return usage();
  }
  return 0;
}

int convert(std::vector<std::string> args) {
  const std::string format = takeFormat(args);
  if (args.size() != 2 || (format != "binary" && format != "xml")) return usage();
  db::DataSet ds;
  ds.loadFromFile(args[0]);
  ds.saveToFile(args[1], format == "xml" ? db::PacketFormat::Xml : db::PacketFormat::Binary);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "dump") return dump(args);
    if (command == "convert") return convert(args);
    return usage();
  } catch (const std::exception& e) {
    std::cerr << "kivtab-cds: " << e.what() << "\n";
    return 1;
  }
}
