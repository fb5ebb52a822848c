#include "base/text.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

namespace tessmol {
namespace {

TEST(TextConversion, BehavesLikeTheCLibrary) {
  EXPECT_EQ(ParseInt("  42"), 42);
  EXPECT_EQ(ParseInt(" -17xyz"), -17);
  EXPECT_EQ(ParseInt("+8"), 8);
  EXPECT_EQ(ParseInt("abc"), 0);
  EXPECT_EQ(ParseInt(""), 0);
  EXPECT_EQ(ParseInt("99999999999999"), 2147483647);
  EXPECT_EQ(ParseInt("-99999999999999"), -2147483647 - 1);

  EXPECT_DOUBLE_EQ(ParseReal("  27.340"), 27.34);
  EXPECT_DOUBLE_EQ(ParseReal("-0.83"), -0.83);
  EXPECT_DOUBLE_EQ(ParseReal("1.5e-05"), 1.5e-05);
  EXPECT_DOUBLE_EQ(ParseReal("3.5abc"), 3.5);
  EXPECT_DOUBLE_EQ(ParseReal("+2"), 2.0);
  EXPECT_DOUBLE_EQ(ParseReal("x1"), 0.0);
  EXPECT_DOUBLE_EQ(ParseReal(""), 0.0);
  // Values no coordinate or score can take read as 0 instead of poisoning the sums.
  EXPECT_DOUBLE_EQ(ParseReal("nan"), 0.0);
  EXPECT_DOUBLE_EQ(ParseReal("inf"), 0.0);
  EXPECT_DOUBLE_EQ(ParseReal("1e999"), 0.0);
}

TEST(TextConversion, DecimalsReadToTheBitAsStrtodReadsThem) {
  // Coordinates, areas and scores: every form a file writes, and the edges of the short
  // path (15 digits, leading zeros, no integer or no fraction part, a trailing letter).
  std::mt19937_64 random(7);
  std::vector<std::string> texts = {"0.000",
                                    "-0.000",
                                    "-.5",
                                    "5.",
                                    ".125",
                                    "999999999999999",
                                    "9999999999999999",
                                    "0000000000000001.5",
                                    "-123.456789012345",
                                    "1.5E3",
                                    "2.25x",
                                    "7.5.5",
                                    "-"};
  char buffer[64];
  for (int i = 0; i < 200000; ++i) {
    const int places = static_cast<int>(random() % 16);
    const auto digits = static_cast<long long>(random() % 10000000000000000ull);
    std::snprintf(buffer, sizeof buffer, "%s%lld", random() % 2 ? "-" : "", digits);
    std::string text = buffer;
    const size_t start = text[0] == '-' ? 1 : 0;
    while (text.size() - start <= static_cast<size_t>(places)) text.insert(start, "0");
    text.insert(text.size() - static_cast<size_t>(places), ".");
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    char* end = nullptr;
    const double expected = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) continue;  // no number: read as 0, checked above
    ASSERT_EQ(std::bit_cast<uint64_t>(ParseReal(text)), std::bit_cast<uint64_t>(expected)) << text;
    ASSERT_EQ(std::bit_cast<uint32_t>(ParseFloat(text)),
              std::bit_cast<uint32_t>(static_cast<float>(expected)))
        << text;
  }
}

TEST(TextConversion, IgnoresTheProcessLocale) {
  // A desktop session may run under a locale whose decimal separator is a comma.
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) std::setlocale(LC_NUMERIC, "C");
  EXPECT_DOUBLE_EQ(ParseReal("1.25"), 1.25);
  EXPECT_EQ(FormatNumber(1.25), "1.25");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(TextFields, ShortLinesGiveEmptyFields) {
  EXPECT_EQ(Field("ATOM      1", 6, 5), "    1");
  EXPECT_EQ(Field("ATOM  ", 6, 5), "");
  EXPECT_EQ(Field("ATOM   12", 6, 5), " 12");
  EXPECT_EQ(Field("", 0, 3), "");
}

TEST(TextFields, SplitFieldsKeepsEmptyFields) {
  EXPECT_EQ(SplitFields(""), std::vector<std::string>{""});
  EXPECT_EQ(SplitFields("one"), std::vector<std::string>{"one"});
  EXPECT_EQ(SplitFields("a\tb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitFields("a\t\tb\t"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(SplitFields(" C\t1.7 "), (std::vector<std::string>{" C", "1.7 "}));
}

TEST(TextLines, CarriageReturnsAreDropped) {
  std::istringstream in("first\r\nsecond\nthird\r\n\r\nlast");
  std::string line;
  std::vector<std::string> lines;
  while (ReadLine(in, line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "third", "", "last"}));
}

TEST(TextNumbers, StreamDefaultForm) {
  EXPECT_EQ(FormatNumber(1.11f), "1.11");
  EXPECT_EQ(FormatNumber(-0.77f), "-0.77");
  EXPECT_EQ(FormatNumber(1.0), "1");
  EXPECT_EQ(FormatNumber(1.5e-05), "1.5e-05");
  EXPECT_EQ(FormatNumber(1234567.0), "1.23457e+06");
  EXPECT_EQ(FormatFixed(2.5), "2.500000");
}

// The number text of result files against the C library's "%.6g" on floats of every
// magnitude: random ones, runs of neighbours at each power of ten (where the digit count
// and the exponent form change), and exact ties between two six-digit texts, which go to
// the even digit. Doubles that no float holds take the general path and must agree too.
TEST(TextNumbers, SixSignificantDigitsAsPrintfGivesThem) {
  auto expectPrintf = [](double value) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.6g", value);
    char written[32];
    const std::string text(written, FormatNumberTo(written, value));
    ASSERT_EQ(text, expected) << "bits of the float: " << std::hex
                              << std::bit_cast<uint32_t>(static_cast<float>(value));
  };
  std::mt19937 random(20261206);
  for (int i = 0; i < 400000; ++i) {
    // Exponents from 2^-40 to 2^40 cover both sides of 1e-4 and 1e6.
    const uint32_t bits = (random() & 0x807fffffu) | ((87u + random() % 81u) << 23);
    expectPrintf(std::bit_cast<float>(bits));
  }
  for (int power = -6; power <= 7; ++power) {
    const float decade = std::pow(10.0f, static_cast<float>(power));
    float up = decade, down = decade;
    for (int step = 0; step < 3000; ++step) {
      expectPrintf(up);
      expectPrintf(-down);
      up = std::nextafter(up, 1e30f);
      down = std::nextafter(down, 0.0f);
    }
  }
  for (double tie : {123456.5, 123457.5, 12345.25, 12345.75, 1234.125, 999999.5, double{99999.95f},
                     double{0.000123456789f}})
    expectPrintf(tie);
  for (int quarter = 0; quarter < 40000; ++quarter) expectPrintf(99990.0 + quarter / 4.0);
  for (double other : {0.0, -0.0, 1.0 / 3.0, 2.0 / 3.0 * 1e-7, 1e300, -4.9e-324, 1e6, 999999.0})
    expectPrintf(other);
}

TEST(TextUtf8, WellFormedTextStaysAndEveryOtherByteBecomesTheReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  // ASCII, Latin-1 "e acute" as UTF-8, a CJK character and an emoji pass as they are.
  const std::string good = "P13806 \xC3\xA9 \xE6\xB0\xB4 \xF0\x9F\x98\x80";
  EXPECT_EQ(ValidUtf8(good), good);
  // Latin-1 bytes (a name from another encoding), a cut sequence, an overlong '/', a
  // surrogate half and a code point beyond U+10FFFF: each offending byte replaced.
  EXPECT_EQ(ValidUtf8("bad\xff\xfename"), "bad" + fffd + fffd + "name");
  EXPECT_EQ(ValidUtf8("cut\xE6\xB0"), "cut" + fffd + fffd);
  EXPECT_EQ(ValidUtf8("\xC0\xAF"), fffd + fffd);
  EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), fffd + fffd + fffd);
  EXPECT_EQ(ValidUtf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);
  EXPECT_EQ(ValidUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace tessmol
