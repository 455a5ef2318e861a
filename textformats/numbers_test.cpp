#include "textformats/numbers.h"

#include <gtest/gtest.h>

#include "testutil.h"

namespace tabulon {
namespace {

TEST(ParseInt32, AcceptsSignsUnderscoresAndTheFullRange) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"0", 0},          {"10", 10},        {"+7", 7},       {"-12", -12},
      {"1_5", 15},       {"1__0", 10},      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.value, parseInt32(c.text));
  }
}

TEST(ParseInt32, RejectsEverythingElse) {
  for (const char* text : {"", "+", "-", "abc", "10abc", " 1", "1 ", "_1", "2147483648",
                           "-2147483649", "99999999999999999999", "1.0", "0x10"}) {
    SCOPED_TRACE(text);
    EXPECT_ERROR(parseInt32(text), "ValueError", std::string("invalid integer: ") + text);
    int32_t v = 42;
    EXPECT_FALSE(tryParseInt32(text, v));
    EXPECT_EQ(42, v);
  }
}

TEST(ParseFloat, ReadsDecimalTextAndRejectsTheRest) {
  EXPECT_DOUBLE_EQ(0.5, parseFloat("0.5"));
  EXPECT_DOUBLE_EQ(-1e-3, parseFloat("-1E-3"));
  EXPECT_DOUBLE_EQ(45123.75, parseFloat("45123.75"));
  for (const char* text : {"", "abc", "1.5x", " 1", "0x1p3"}) {
    SCOPED_TRACE(text);
    EXPECT_ERROR(parseFloat(text), "ValueError", std::string("invalid float: ") + text);
  }
}

TEST(ParseBool, ReadsTheTenWordsIgnoringCaseAndUnderscores) {
  for (const char* t : {"y", "yes", "true", "1", "on", "TRUE", "True", "t_r_u_e"}) {
    SCOPED_TRACE(t);
    EXPECT_TRUE(parseBool(t));
  }
  for (const char* t : {"n", "no", "false", "0", "off", "OFF"}) {
    SCOPED_TRACE(t);
    EXPECT_FALSE(parseBool(t));
  }
  for (const char* t : {"", "2", "maybe"}) {
    SCOPED_TRACE(t);
    EXPECT_ERROR(parseBool(t), "ValueError", std::string("cannot interpret as a bool: ") + t);
  }
}

TEST(CheckedArithmetic, RaisesInsteadOfWrapping) {
  EXPECT_EQ(2147483647, checkedAdd(2147483646, 1));
  EXPECT_ERROR(checkedAdd(2147483647, 1), "OverflowError", "over- or underflow");
  EXPECT_ERROR(checkedSub(-2147483647 - 1, 1), "OverflowError", "over- or underflow");
  EXPECT_ERROR(checkedMul(65536, 32768), "OverflowError", "over- or underflow");
  EXPECT_EQ(-2147483647 - 1, checkedMul(-65536, 32768));
}

TEST(Errors, CarryKindAndMessage) {
  EXPECT_ERROR(throw keyNotFound("styles"), "KeyError", "key not found: styles");
  IOError e("cannot open: x");
  EXPECT_EQ("cannot open: x [IOError]", describeError(e));
}

}  // namespace
}  // namespace tabulon
