#include "db/odbc/parameter_buffer.h"

#include <gtest/gtest.h>

#include "db/core/error.h"

namespace {

using db::Value;
using db::odbc::ParameterBuffer;

Value throughOutput(const Value& given) {
  ParameterBuffer buffer;
  buffer.setOutput(given);
  return buffer.output();
}

// Until the driver writes an OUTPUT parameter back, it holds what the caller passed in, in the
// type that comes back.
TEST(ParameterBuffer, AnOutputParameterHoldsItsInputInTheTypeThatComesBack) {
  EXPECT_EQ(throughOutput(Value(int64_t{42})).getInt(), 42);
  EXPECT_DOUBLE_EQ(throughOutput(Value(1.25)).getDouble(), 1.25);
  EXPECT_EQ(throughOutput(Value(true)).getInt(), 1);
  const auto when = db::DateTime::fromParts(2026, 12, 8, 19, 30, 5).addMs(250);
  EXPECT_EQ(throughOutput(Value(when)).getDateTime(), when);
  EXPECT_EQ(throughOutput(Value(std::string("abc"))).getText(), "abc");
  EXPECT_TRUE(throughOutput(Value()).isNull());
}

TEST(ParameterBuffer, AnOutputTextIsCutToTheRoomTheServerGives) {
  const Value out = throughOutput(Value(std::string(9000, 'x')));
  EXPECT_EQ(out.getText(), std::string(static_cast<size_t>(db::odbc::kOutputTextBytes), 'x'));
}

TEST(ParameterBuffer, ABufferSetForInputAfterOutputIsAnInputAgain) {
  ParameterBuffer buffer;
  buffer.setOutput(Value(std::string("abc")));
  buffer.set(Value(int64_t{7}));
  EXPECT_TRUE(buffer.isSet());
  EXPECT_THROW(buffer.set(Value(std::vector<Value>{})), db::Error);
}

}  // namespace
