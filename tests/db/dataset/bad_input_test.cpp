// Damaged and hostile packets: always a PacketError naming the source and the place, never a
// crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include <filesystem>

#include "compare.h"
#include "db/dataset/dataset.h"

namespace {

using dataset_test::fixture;
using dataset_test::readFile;

std::string errorOf(std::string_view packet, std::string_view source = "test.cds") {
  db::DataSet ds;
  try {
    ds.setData(packet, source);
  } catch (const db::PacketError& e) {
    return e.what();
  }
  return "";
}

void putU32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

TEST(BadBinaryPackets, EveryTruncationIsAnError) {
  SKIP_WITHOUT_SAMPLE_FILES();
  for (const std::string name : {"industry.cds", "vendors.cds", "employee.cds"}) {
    const std::string packet = readFile(fixture(name));
    for (size_t len = 1; len < packet.size(); ++len) {
      const std::string message = errorOf(std::string_view(packet).substr(0, len));
      EXPECT_NE(message, "") << name << " cut at " << len;
    }
  }
}

TEST(BadBinaryPackets, MessagesNameTheSourceAndOffset) {
  SKIP_WITHOUT_SAMPLE_FILES();
  std::string packet = readFile(fixture("industry.cds"));
  packet[0] = 'X';
  const std::string notBinary = errorOf(packet, "Dados/x.cds");
  EXPECT_NE(notBinary.find("Dados/x.cds"), std::string::npos) << notBinary;

  std::string truncated = readFile(fixture("industry.cds")).substr(0, 200);
  const std::string message = errorOf(truncated, "struct.cds");
  EXPECT_NE(message.find("struct.cds: offset "), std::string::npos) << message;
  EXPECT_NE(message.find("truncated"), std::string::npos) << message;
}

TEST(BadBinaryPackets, AbsurdCountsAndUnknownTypesAreRefused) {
  SKIP_WITHOUT_SAMPLE_FILES();
  const std::string original = readFile(fixture("industry.cds"));

  std::string manyRecords = original;
  putU32(manyRecords, 14, 0x7FFFFFFF);
  EXPECT_NE(errorOf(manyRecords).find("record count"), std::string::npos);

  std::string negative = original;
  putU32(negative, 14, 0xFFFFFFFF);
  EXPECT_NE(errorOf(negative), "");

  std::string manyFields = original;
  manyFields[12] = '\xFF';
  manyFields[13] = '\xFF';
  EXPECT_NE(errorOf(manyFields), "");

  std::string unknownType = original;
  unknownType[24 + 1 + 8 + 2] = 0x3F;  // IND_CODE's type code
  EXPECT_NE(errorOf(unknownType).find("unknown field type"), std::string::npos);

  std::string longString = original;
  longString[0x77] = '\xFF';  // the first string's length byte points past the end
  EXPECT_NE(errorOf(longString), "");

  std::string trailing = original + "junk";
  EXPECT_NE(errorOf(trailing).find("after the last record"), std::string::npos);
}

TEST(BadBinaryPackets, FlippedBytesNeverCrash) {
  SKIP_WITHOUT_SAMPLE_FILES();
  const std::string original = readFile(fixture("customer.cds"));
  for (size_t at = 0; at < original.size(); at += 7) {
    for (const uint8_t value : {0x00, 0x7F, 0xFF}) {
      std::string damaged = original;
      damaged[at] = static_cast<char>(value);
      db::DataSet ds;
      try {
        ds.setData(std::string_view(damaged));
        for (ds.first(); !ds.eof(); ds.next()) ds.field(0).value();
      } catch (const db::PacketError&) {
      }
    }
  }
}

TEST(BadXmlPackets, MalformedDocumentsAreErrorsWithLineAndColumn) {
  const std::string head =
      "<?xml version=\"1.0\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"N\" fieldtype=\"i4\"/></FIELDS><PARAMS/></METADATA><ROWDATA>";
  const std::string tail = "</ROWDATA></DATAPACKET>";
  EXPECT_EQ(errorOf(head + "<ROW N=\"1\"/>" + tail), "");
  const std::vector<std::string> bad = {
      head + "<ROW N=\"1\">" + tail,                     // unclosed element
      head + "<ROW N=\"x\"/>" + tail,                    // not a number
      head + "<ROW N=\"99999999999\"/>" + tail,          // out of the field's range
      head + "<ROW M=\"1\"/>" + tail,                    // unknown field
      head + "<ROW N=\"1\" N=\"2\"/>" + tail,            // repeated attribute
      head + "<ROW N=\"&bogus;\"/>" + tail,              // unknown entity
      head + "<ROW N=\"&#0;\"/>" + tail,                 // invalid character reference
      head + "<ROW N='1/>" + tail,                       // unterminated value
      head + "text<ROW N=\"1\"/>" + tail,                // text between elements
      head + "<![CDATA[x]]>" + tail,                     // CDATA
      head + tail + "<DATAPACKET/>",                     // a second document element
      "<!DOCTYPE x [<!ENTITY a \"b\">]>" + head + tail,  // DOCTYPE
      head,                                              // cut off
      "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"A\" fieldtype=\"money\"/></FIELDS>"
      "</METADATA></DATAPACKET>",  // unknown field type
      "",
      "   ",
  };
  for (const std::string& packet : bad) {
    const std::string message = errorOf(packet, "x.xml");
    EXPECT_NE(message, "") << packet;
    if (!packet.empty() && packet.find_first_not_of(' ') != std::string::npos) {
      EXPECT_NE(message.find("x.xml: line "), std::string::npos) << message;
    }
  }
  std::string deep = "<DATAPACKET><METADATA><FIELDS/><PARAMS>";
  for (int i = 0; i < 10000; ++i) deep += "<A>";
  EXPECT_NE(errorOf(deep).find("too deep"), std::string::npos);
}

TEST(BadXmlPackets, EveryTruncationIsAnError) {
  SKIP_WITHOUT_SAMPLE_FILES();
  const std::string packet = readFile(fixture("industry.xml"));
  for (size_t len = 0; len + 1 < packet.size(); len += 3) {
    EXPECT_NE(errorOf(std::string_view(packet).substr(0, len)), "") << len;
  }
}

TEST(BadFiles, MissingFileNamesThePath) {
  db::DataSet ds;
  try {
    ds.loadFromFile("/nonexistent/dir/P_DTDELETECACHE.cds");
    FAIL() << "no error";
  } catch (const db::Error& e) {
    EXPECT_NE(std::string(e.what()).find("P_DTDELETECACHE.cds"), std::string::npos);
  }
}

}  // namespace

namespace {

TEST(BadXmlPackets, EmptyRowsCannotAskForMemoryOutOfProportion) {
  std::string packet = "<DATAPACKET><METADATA><FIELDS>";
  for (int f = 0; f < 4000; ++f) {
    packet += "<FIELD attrname=\"F" + std::to_string(f) + "\" fieldtype=\"i4\"/>";
  }
  packet += "</FIELDS></METADATA><ROWDATA>";
  for (int r = 0; r < 100000; ++r) packet += "<ROW/>";
  packet += "</ROWDATA></DATAPACKET>";
  EXPECT_NE(errorOf(packet).find("more rows and fields"), std::string::npos);
}

}  // namespace

namespace {

// industry.cds: records start at byte 115; the second one at 143 (status, flags, i2, texts).
constexpr size_t kSecondRecord = 143;

db::DataSet readIndustry(const std::string& packet) {
  db::DataSet ds;
  ds.setData(std::string_view(packet), "industry.cds");
  return ds;
}

TEST(ChangeLogRecords, DeletedAndOriginalImagesAreNotPresented) {
  SKIP_WITHOUT_SAMPLE_FILES();
  std::string packet = readFile(fixture("industry.cds"));
  packet[kSecondRecord] = 2;  // deleted
  db::DataSet deleted = readIndustry(packet);
  EXPECT_EQ(deleted.recordCount(), 6u);
  EXPECT_FALSE(deleted.locate("IND_NAME", {"Auto"}));

  // The first record becomes the original image of the second, a modification that keeps
  // IND_CODE unchanged (flag 2, no value in the record).
  packet = readFile(fixture("industry.cds"));
  packet[115] = 1;
  packet[kSecondRecord] = 8;
  packet[kSecondRecord + 1] = 2;
  packet.erase(kSecondRecord + 2, 2);
  db::DataSet modified = readIndustry(packet);
  EXPECT_EQ(modified.recordCount(), 6u);
  modified.first();
  EXPECT_EQ(modified.fieldByName("IND_NAME").asString(), "Auto");
  EXPECT_EQ(modified.fieldByName("IND_CODE").asInteger(), 3579);

  // An unchanged field with no original image before it is an error, not a guess.
  packet = readFile(fixture("industry.cds"));
  packet[115 + 1] = 2;
  packet.erase(115 + 2, 2);
  EXPECT_NE(errorOf(packet).find("without an original"), std::string::npos);
}

}  // namespace
