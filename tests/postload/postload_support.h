#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "db/embedded/embedded.h"
#include "download/services.h"

namespace load::testing {

// A logged line with its level.
struct LogLine {
  std::string text;
  std::string level;
};

// An in-memory local database, services that keep their log lines and a clock that stands still.
class LocalFixture : public ::testing::Test {
 protected:
  LocalFixture() : db(db::embedded::open(db::embedded::Options{":memory:"})) {
    services.log = [this](std::string_view text, std::string_view level) {
      lines.push_back({std::string(text), std::string(level)});
    };
    services.now = [this] { return now; };
  }

  void run(std::initializer_list<const char*> statements) {
    for (const char* s : statements) db->execute(s);
  }
  int64_t count(const std::string& sql) {
    auto rows = db->query(sql);
    return rows->next() ? rows->at(0).asInt() : -1;
  }
  db::Value scalar(const std::string& sql) {
    auto rows = db->query(sql);
    return rows->next() ? rows->at(0) : db::Value();
  }
  std::vector<std::string> column(const std::string& sql) {
    std::vector<std::string> out;
    auto rows = db->query(sql);
    while (rows->next()) out.push_back(rows->at(0).asText());
    return out;
  }
  bool logged(std::string_view text, std::string_view level) const {
    for (const auto& l : lines)
      if (l.text == text && l.level == level) return true;
    return false;
  }
  bool loggedStarting(std::string_view prefix) const {
    for (const auto& l : lines)
      if (l.text.starts_with(prefix)) return true;
    return false;
  }

  std::unique_ptr<db::Connection> db;
  download::Services services;
  std::vector<LogLine> lines;
  db::DateTime now = db::DateTime::fromParts(2026, 12, 8, 10, 0, 0);
};

}  // namespace load::testing
