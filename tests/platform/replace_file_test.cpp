// Files replaced and folders made so that a stop leaves the old file or the new one, never a part.
#include "platform/replace_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <iterator>

#include "support/temp_dir.h"

namespace platform {
namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

// While it lives, no file of this process grows past `bytes`: a write stops short, as on a full
// disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : previous_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  void (*previous_)(int);
  rlimit saved_{};
};

size_t entriesIn(const std::filesystem::path& folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(ReplaceFile, AWriteCutShortLeavesTheOldFileWholeAndNothingBesideIt) {
  TempDir dir;
  const auto file = dir.path() / "cdsCacheProduto.cds";
  writeFile(file, "old");
  {
    FileSizeLimit limit(4096);
    EXPECT_THROW(replaceFile(file, std::string(100'000, 'n')), std::runtime_error);
  }
  EXPECT_EQ(readFile(file), "old");
  EXPECT_EQ(entriesIn(dir.path()), 1u);

  replaceFile(file, "new");
  EXPECT_EQ(readFile(file), "new");
  EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(ReplaceFileInFolder, SeveralFilesThenOneSyncLeaveEachNewFileAndNothingBeside) {
  TempDir dir;
  writeFile(dir.path() / "cdsCacheProd.cds", "old");
  replaceFileInFolder(dir.path() / "cdsCacheProd.cds", "new");
  replaceFileInFolder(dir.path() / "PRODUTOSEG.date", "2026-01-01T00:00:00.000");
  syncFolder(dir.path());
  EXPECT_EQ(readFile(dir.path() / "cdsCacheProd.cds"), "new");
  EXPECT_EQ(readFile(dir.path() / "PRODUTOSEG.date"), "2026-01-01T00:00:00.000");
  EXPECT_EQ(entriesIn(dir.path()), 2u);
  try {
    syncFolder(dir.path() / "Pendentes");
    ADD_FAILURE() << "synced a folder that is not there";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Pendentes"), std::string::npos) << e.what();
  }
}

TEST(CreateDirectories, MakesTheMissingLevelsKeepsWhatIsThereAndNamesWhatIsInTheWay) {
  TempDir dir;
  const auto pending = dir.path() / "Dados" / "Tabelas_Kiv" / "Pendentes";
  createDirectories(pending);
  writeFile(pending / "kept.cds", "kept");
  createDirectories(pending);
  EXPECT_EQ(readFile(pending / "kept.cds"), "kept");

  writeFile(dir.path() / "Arquivo", "");
  try {
    createDirectories(dir.path() / "Arquivo" / "Pendentes");
    ADD_FAILURE() << "created below a file";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Arquivo"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace platform
