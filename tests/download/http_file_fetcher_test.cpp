#include <gtest/gtest.h>
#include <httplib.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "download/statement_files/file_fetcher.h"
#include "support/background_http_server.h"
#include "test_support.h"

namespace download::testing {
namespace {

namespace fs = std::filesystem;

class HttpFetch : public ::testing::Test {
 protected:
  void SetUp() override {
    http_.server().Get("/files/gen/arq1/a.sql.zip",
                       [](const httplib::Request&, httplib::Response& res) {
                         res.set_content("zip bytes", "application/zip");
                       });
    http_.start();
  }
  std::string fetched() const {
    std::ifstream in(local(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path local() const { return dir_.path() / "a.sql.zip"; }
  std::unique_ptr<FileFetcher> fetcher() {
    return makeHttpFileFetcher([this] { return outside::Endpoint{"127.0.0.1", http_.port(), {}}; });
  }

  testing_support::BackgroundHttpServer http_;
  TempDir dir_;
};

TEST_F(HttpFetch, PathBelowTheAccessLineOrTheEndpoint) {
  const std::string base = "http://127.0.0.1:" + std::to_string(http_.port());
  fetcher()->getInsertFile(local(), "/files/gen/arq1/a.sql.zip", base);
  EXPECT_EQ(fetched(), "zip bytes");
  fs::remove(local());
  fetcher()->getInsertFile(local(), "files/gen/arq1/a.sql.zip", base + "/");
  EXPECT_EQ(fetched(), "zip bytes");
  fs::remove(local());
  fetcher()->getInsertFile(local(), "/files/gen/arq1/a.sql.zip", "not a url");
  EXPECT_EQ(fetched(), "zip bytes");
}

TEST_F(HttpFetch, MissingFilesAndDirectoriesRaiseLeavingNothing) {
  EXPECT_THROW(fetcher()->getInsertFile(local(), "/files/gen/arq1/b.sql.zip", ""),
               outside::ServerError);
  EXPECT_FALSE(fs::exists(local()));
  EXPECT_THROW(fetcher()->getInsertFile(local(), "/files/gen/arq1/", ""), outside::ServerError);
  EXPECT_THROW(fetcher()->getInsertFile(local(), "", ""), outside::ServerError);
}

}  // namespace
}  // namespace download::testing
