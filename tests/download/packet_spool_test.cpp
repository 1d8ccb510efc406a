#include "download/orchestrator/packet_spool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "download/download_state.h"
#include "download/orchestrator/handover_lists.h"

namespace download {
namespace {

namespace fs = std::filesystem;

class PacketSpoolTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::remove_all(directory); }
  void TearDown() override { fs::remove_all(directory); }

  // A packet of `rows` rows with a text wide enough to make the dataset large.
  static std::string packetOf(size_t rows) {
    db::DataSet rowsSet("cdsProduto");
    rowsSet.createDataSet({db::FieldDef{"CDPRODUTO", db::FieldType::String, 20},
                           db::FieldDef{"NMPRODUTO", db::FieldType::String, 200}});
    for (size_t i = 0; i < rows; ++i)
      rowsSet.appendRecord({db::Value(std::to_string(i)), db::Value(std::string(150, 'x'))});
    const db::Bytes bytes = rowsSet.data();
    return {bytes.begin(), bytes.end()};
  }

  fs::path directory = fs::temp_directory_path() / ("kivtab-spool-" + std::to_string(::getpid()));
};

TEST_F(PacketSpoolTest, HandedOverPositionsGoToTheirDatasetFilesAndOnlyThey) {
  const ModeHandOver mode = handOverFor("TABELAS");
  PacketSpool spool(directory, mode);
  EXPECT_TRUE(spool.take(31, packetOf(2)));    // PRODUTO
  EXPECT_FALSE(spool.take(191, packetOf(1)));  // a sales packet stays in the reply
  ASSERT_NE(spool.fileOf(31), nullptr);
  EXPECT_EQ(spool.fileOf(31)->filename(), "cdsProduto.cds");
  EXPECT_EQ(spool.fileOf(191), nullptr);
  EXPECT_EQ(spool.replyFile().parent_path(), directory);
}

// A large dataset let go after its table is read again from its file; one the load emptied
// keeps being empty; clearing the spool removes the files.
TEST_F(PacketSpoolTest, ReleasedDatasetsReadBackAndEmptiedOnesStayEmpty) {
  PacketSpool spool(directory, handOverFor("TABELAS"));
  spool.take(31, packetOf(20'000));
  spool.take(33, packetOf(20'000));
  DownloadState state;
  state.spool("cdsProduto", *spool.fileOf(31));
  state.spool("cdsItemPreco", *spool.fileOf(33));
  EXPECT_TRUE(state.datasets().empty());
  EXPECT_EQ(state.dataset("cdsPRODUTO").recordCount(), 20'000u);
  state.dataset("cdsItemPreco").emptyDataSet();
  state.releaseSpooled();
  EXPECT_FALSE(state.datasets().contains("cdsProduto"));
  EXPECT_TRUE(state.datasets().contains("cdsItemPreco"));
  EXPECT_EQ(state.findDataset("cdsProduto")->recordCount(), 20'000u);
  state.clearSpool();
  EXPECT_FALSE(fs::exists(directory / "cdsProduto.cds"));
  EXPECT_FALSE(fs::exists(directory / "cdsItemPreco.cds"));
  EXPECT_TRUE(state.findDataset("cdsItemPreco")->isEmpty());
}

}  // namespace
}  // namespace download
