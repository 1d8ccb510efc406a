// Kept apart from the tests that reach the database interface, whose headers must not meet the
// dataset's here.
#include <gtest/gtest.h>

#include "app/parameter_file.h"
#include "db/dataset/dataset.h"
#include "outside/app_server.h"
#include "outside/package/check_result.h"
#include "register_packet.h"
#include "support/temp_dir.h"

namespace outside {
namespace {

TEST(CheckResultServ, PacketsFillTheDatasetAndAnythingElseRaises) {
  db::DataSet target("cdsCxServidor");
  CheckResultServ(db::Value(testing_support::registerPacket("10.1.1.1", "N", true)), target,
                  "getCxServidor");
  ASSERT_EQ(target.recordCount(), 1u);
  target.first();
  EXPECT_EQ(target.fieldByName("IPSERVPRI").asString(), "10.1.1.1");

  const db::Bytes packet = testing_support::registerPacket("", "", false);
  db::DataSet fromText;
  CheckResultServ(db::Value(std::string(packet.begin(), packet.end())), fromText, "m");
  EXPECT_TRUE(fromText.isEmpty());
  EXPECT_EQ(fromText.fieldCount(), 2u);

  db::DataSet ignored;
  try {
    CheckResultServ(db::Value("Filial inexistente"), ignored, "getCxServidor");
    FAIL() << "an error text was taken for data";
  } catch (const ServerError& e) {
    EXPECT_STREQ(e.what(), "getCxServidor: Filial inexistente");
  }
  EXPECT_THROW(CheckResultServ(db::Value(), ignored, "m"), ServerError);
  EXPECT_THROW(CheckResultServ(db::Value(int64_t{3}), ignored, "m"), ServerError);
  EXPECT_THROW(CheckResultServ(db::Value(db::Bytes{0x96, 0x19, 0xE0, 0xBD, 1}), ignored, "m"),
               db::Error);
}

TEST(SetaCampoNull, EmptyTextsBecomeNullOthersStay) {
  db::DataSet ds("cdsTeste");
  ds.createDataSet({db::makeField("A", db::FieldType::String, 5),
                    db::makeField("B", db::FieldType::String, 5),
                    db::makeField("N", db::FieldType::Int32)});
  ds.append();
  ds.fieldByName("A").setString("");
  ds.fieldByName("B").setString(" ");
  ds.fieldByName("N").setInteger(0);
  Seta_Campo_Null(ds);
  ds.post();
  ds.first();
  EXPECT_TRUE(ds.fieldByName("A").isNull());
  EXPECT_EQ(ds.fieldByName("B").asString(), " ");
  EXPECT_FALSE(ds.fieldByName("N").isNull());
}

TEST(ParameterFile, FirstRecordOfPelmoraNamesBranchAndRegister) {
  testing_support::TempDir dir;
  EXPECT_FALSE(app::readParameterFile(dir.path()));

  db::DataSet pelmora("cdsPelmora");
  pelmora.createDataSet({db::makeField("CDFILIAL", db::FieldType::String, 4),
                         db::makeField("CDCAIXA", db::FieldType::String, 4)});
  pelmora.saveToFile(dir.path() / "Pelmora.cds");
  EXPECT_EQ(app::readParameterFile(dir.path())->branch, "");

  pelmora.appendRecord({db::Value("0002"), db::Value("003")});
  pelmora.appendRecord({db::Value("0009"), db::Value("009")});
  pelmora.saveToFile(dir.path() / "Pelmora.cds");
  const auto record = app::readParameterFile(dir.path());
  ASSERT_TRUE(record);
  EXPECT_EQ(record->branch, "0002");
  EXPECT_EQ(record->cashRegister, "003");

  testing_support::writeFile(dir.path() / "Pelmora.cds", "not a packet");
  EXPECT_THROW(app::readParameterFile(dir.path()), db::Error);
}

}  // namespace
}  // namespace outside
