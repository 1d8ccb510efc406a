#include "download/orchestrator/packet_spool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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
    rowsSet.createDataSet({db::makeField("CDPRODUTO", db::FieldType::String, 20),
                           db::makeField("NMPRODUTO", db::FieldType::String, 200)});
    for (size_t i = 0; i < rows; ++i)
      rowsSet.appendRecord({db::Value(std::to_string(i)), db::Value(std::string(150, 'x'))});
    const db::Bytes bytes = rowsSet.data();
    return {bytes.begin(), bytes.end()};
  }

  // Hands `packet` to the spool at `position` in pieces of `piece` bytes; false when not taken.
  static bool give(PacketSpool& spool, size_t position, const std::string& packet,
                   size_t piece = 4096) {
    if (!spool.begin(position)) return false;
    for (size_t at = 0; at < packet.size(); at += piece)
      spool.append(std::string_view(packet).substr(at, piece));
    spool.end();
    return true;
  }

  static std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path directory = fs::temp_directory_path() / ("kivtab-spool-" + std::to_string(::getpid()));
};

// Small packets stay in memory while the budget lasts; a packet past the largest held, or past
// what the budget has left, goes to its dataset's file whole, also when it outgrows memory
// part-way. Positions the mode does not hand over are left in the reply.
TEST_F(PacketSpoolTest, SmallPacketsStayInMemoryAndLargeOnesGoToTheirFiles) {
  PacketSpool spool(directory, handOverFor("TABELAS"), 100'000, 100'000);
  const std::string small = packetOf(2), large = packetOf(1'000), middle = packetOf(400);
  ASSERT_LT(small.size(), 1'000u);
  ASSERT_GT(large.size(), 100'000u);
  ASSERT_GT(middle.size(), 50'000u);
  EXPECT_TRUE(give(spool, 31, small));           // PRODUTO
  EXPECT_FALSE(give(spool, 191, small));         // a sales packet stays in the reply
  EXPECT_TRUE(give(spool, 33, large));           // ITEMPRECO, past the largest held
  EXPECT_TRUE(give(spool, 34, middle));          // held
  EXPECT_TRUE(give(spool, 35, middle, 10'000));  // past what the budget has left

  const auto held = spool.take(31);
  ASSERT_TRUE(held && held->bytes);
  EXPECT_TRUE(*held->bytes == small);
  EXPECT_EQ(held->file, directory / "cdsProduto.cds");
  EXPECT_FALSE(fs::exists(held->file));
  EXPECT_FALSE(spool.take(31));
  EXPECT_FALSE(spool.take(191));
  const auto spooled = spool.take(33);
  ASSERT_TRUE(spooled);
  EXPECT_FALSE(spooled->bytes);
  EXPECT_TRUE(contentOf(spooled->file) == large);
  EXPECT_TRUE(spool.take(34)->bytes);
  const auto spilled = spool.take(35);
  EXPECT_FALSE(spilled->bytes);
  EXPECT_TRUE(contentOf(spilled->file) == middle);
}

// A large dataset let go after its table is read again from its packet, in a file or in memory;
// one the load emptied keeps being empty; clearing the spool removes the files, with a leftover
// of an earlier run where a packet was held in memory.
TEST_F(PacketSpoolTest, ReleasedDatasetsReadBackAndEmptiedOnesStayEmpty) {
  PacketSpool spool(directory, handOverFor("TABELAS"), 1'000, 1'000);
  give(spool, 31, packetOf(20'000));
  give(spool, 33, packetOf(20'000));
  give(spool, 34, packetOf(1));
  DownloadState state;
  state.spool("cdsProduto", *spool.take(31));
  state.spool("cdsItemPreco", *spool.take(33));
  const SpooledPacket held = *spool.take(34);
  ASSERT_TRUE(held.bytes);
  std::ofstream(held.file) << "left by an earlier run";
  state.spool("cdsHeld", held);
  EXPECT_TRUE(state.datasets().empty());
  EXPECT_EQ(state.dataset("cdsPRODUTO").recordCount(), 20'000u);
  EXPECT_EQ(state.dataset("cdsHeld").recordCount(), 1u);
  state.dataset("cdsItemPreco").emptyDataSet();
  state.dataset("cdsJunta");  // not spooled, between two that are
  state.releaseSpooled();
  EXPECT_FALSE(state.datasets().contains("cdsProduto"));
  EXPECT_TRUE(state.datasets().contains("cdsItemPreco"));
  EXPECT_TRUE(state.datasets().contains("cdsJunta"));
  EXPECT_TRUE(state.datasets().contains("cdsHeld"));
  EXPECT_EQ(state.findDataset("cdsProduto")->recordCount(), 20'000u);
  state.clearSpool();
  EXPECT_FALSE(fs::exists(directory / "cdsProduto.cds"));
  EXPECT_FALSE(fs::exists(directory / "cdsItemPreco.cds"));
  EXPECT_FALSE(fs::exists(held.file));
  EXPECT_TRUE(state.findDataset("cdsItemPreco")->isEmpty());
}

// A bad packet held in memory fails when first read, naming where it came from, not a file.
TEST_F(PacketSpoolTest, ABadHeldPacketNamesItsSource) {
  DownloadState state;
  state.spool("cdsProduto", {directory / "cdsProduto.cds", "\x96\x19\xE0\xBD",
                             "getTabelas (posição 31, PRODUTO)"});
  try {
    state.dataset("cdsProduto");
    FAIL() << "a truncated packet was read";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("getTabelas (posição 31, PRODUTO)"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace download
