#include "base/text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <locale>
#include <sstream>

namespace tessmol {

namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view SkipSpace(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  return text.substr(i);
}

}  // namespace

std::optional<int32_t> ParseCheckedInt(std::string_view text) {
  text = SkipSpace(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int32_t>::max() + int64_t{1}) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(value);
}

int32_t ParseInt(std::string_view text) {
  if (const std::optional<int32_t> value = ParseCheckedInt(text)) return *value;
  // Past 32 bits: saturated on the side of the sign.
  text = SkipSpace(text);
  return !text.empty() && text[0] == '-' ? std::numeric_limits<int32_t>::min()
                                         : std::numeric_limits<int32_t>::max();
}

namespace {

// A plain decimal ("-12.345", the coordinates of every PDB line) read exactly as
// from_chars reads it: its digits, at most 15 of them, make an integer that a double holds
// exactly, and so does the power of ten it is divided by, so the one division is the
// correctly rounded value. Anything else (an exponent, more digits, no digits) is left to
// from_chars. Two million coordinates ("-12.345") are read in 0.26 of strtod's time
// (bench/kernels.sh, user time, best of 5); TextConversion.DecimalsReadToTheBitAsStrtodReadsThem
// holds the values to strtod's, bit for bit.
std::optional<double> PlainDecimal(std::string_view text, size_t* used = nullptr) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  size_t i = 0;
  const bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  uint64_t mantissa = 0;
  int digits = 0, fraction = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    mantissa = mantissa * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits, ++fraction) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(text[i] - '0');
    }
  }
  if (digits == 0 || digits > 15 || (i < text.size() && (text[i] == 'e' || text[i] == 'E')))
    return std::nullopt;
  if (used) *used = i;
  const double value = static_cast<double>(mantissa) / kPowers[fraction];
  return negative ? -value : value;
}

}  // namespace

std::optional<double> ParseFiniteReal(std::string_view text) {
  text = SkipSpace(text);
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '-') return 0.0;  // "+-1" is no number
  }
  if (const std::optional<double> plain = PlainDecimal(text)) return *plain;
  double value = 0.0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (result.ec == std::errc::invalid_argument) return 0.0;  // no number at all
  // Overflow, underflow (from_chars leaves the value alone on both) and an infinity or NaN
  // written out.
  if (result.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int32_t> ParseWholeInt(std::string_view text) {
  text = SkipSpace(text);
  while (!text.empty() && IsCSpace(text.back())) text.remove_suffix(1);
  size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  for (; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  return ParseCheckedInt(text);
}

double ParseReal(std::string_view text) {
  return ParseFiniteReal(text).value_or(0.0);
}

std::optional<double> ParseWholeReal(std::string_view text) {
  text = SkipSpace(text);
  while (!text.empty() && IsCSpace(text.back())) text.remove_suffix(1);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  // The plain decimals that stored files are made of take the fast path.
  size_t used = 0;
  if (const std::optional<double> plain = PlainDecimal(text, &used); plain && used == text.size())
    return plain;
  double value = 0.0;
  const auto result =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

float ParseWholeFloatOrNan(std::string_view text) {
  const std::optional<double> value = ParseWholeReal(text);
  return value && std::fabs(*value) <= std::numeric_limits<float>::max()
             ? static_cast<float>(*value)
             : std::numeric_limits<float>::quiet_NaN();
}

float ParseFloat(std::string_view text) {
  const double value = ParseReal(text);
  return std::fabs(value) > std::numeric_limits<float>::max() ? 0.0f : static_cast<float>(value);
}

std::string_view Field(std::string_view line, size_t first, size_t count) {
  if (first >= line.size()) return {};
  return line.substr(first, count);
}

bool ReadLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool ReadFailed(const std::istream& in) {
  return in.bad() || (in.fail() && !in.eof());
}

std::string_view TrimAtomName(std::string_view field) {
  const size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return field;
  const size_t end = field.find(' ', first);
  return field.substr(first, end == std::string_view::npos ? end : end - first);
}

bool OpenForReading(std::ifstream& in, const std::string& path) {
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return false;
  in.open(path, std::ios::binary);
  return in.is_open();
}

void MaskControlCharacters(std::string& text, bool keepNul) {
  for (char& c : text) {
    if ((static_cast<unsigned char>(c) < 0x20 || c == 0x7f) && !(keepNul && c == '\0')) c = '?';
  }
}

bool EndsWithAnyCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

std::string BareName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  fields.reserve(static_cast<size_t>(std::count(line.begin(), line.end(), '\t')) + 1);
  for (size_t start = 0;;) {
    const size_t tab = line.find('\t', start);
    fields.emplace_back(
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

namespace {

// The six significant digits `kept` of a number whose leading digit has `exponent` (-4 to 5),
// written as %g writes them: no exponent, no trailing zeros after the point.
char* WriteSixDigits(char* out, bool negative, uint64_t kept, int exponent) {
  char six[6];
  for (int i = 5; i >= 0; --i, kept /= 10) six[i] = static_cast<char>('0' + kept % 10);
  int last = 5;  // trailing zeros of the fraction are not written
  while (last > 0 && last > exponent && six[last] == '0') --last;
  if (negative) *out++ = '-';
  if (exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    for (int i = -1; i > exponent; --i) *out++ = '0';
    for (int i = 0; i <= last; ++i) *out++ = six[i];
  } else {
    for (int i = 0; i <= exponent; ++i) *out++ = six[i];
    if (last > exponent) {
      *out++ = '.';
      for (int i = exponent + 1; i <= last; ++i) *out++ = six[i];
    }
  }
  return out;
}

}  // namespace

// to_chars with a precision formats as printf's %g and %f do in the C locale, which is
// what a default standard stream writes, without building a stream for every number.
//
// A result file is mostly such numbers, and nearly all of them are floats between 1e-4 and
// 1e6: coordinates, radii, areas, scores. For those the text is made here in integers.
// A float is m * 2^e with m below 2^24, and 10^9 = 5^9 * 2^9 with 5^9 below 2^21, so the
// value times 10^9 is exact in a double; its integer part holds every digit that six
// significant digits can need down to 1e-4, and the part below decides the rounding
// exactly, ties going to the even digit as printf's do. Other values, and those whose
// rounding reaches 1e6 (exponent form), go to to_chars.
// Two million coordinates take about half of to_chars' time, 0.46 to 0.52 (bench/kernels.sh,
// user time, best of 5); TextNumbers.SixSignificantDigitsAsPrintfGivesThem holds the text
// to printf's.
char* FormatNumberTo(char* out, double value) {
  const double magnitude = std::fabs(value);
  if (magnitude < 1e6 && magnitude > 0.0 && static_cast<double>(static_cast<float>(value)) == value) {
    const double scaled = magnitude * 1e9;
    if (scaled >= 1e5) {
      static constexpr uint64_t kPowers[] = {1,
                                             10,
                                             100,
                                             1000,
                                             10000,
                                             100000,
                                             1000000,
                                             10000000,
                                             100000000,
                                             1000000000,
                                             10000000000,
                                             100000000000,
                                             1000000000000,
                                             10000000000000,
                                             100000000000000,
                                             1000000000000000};
      const uint64_t whole = static_cast<uint64_t>(scaled);  // below 10^15
      const double below = scaled - static_cast<double>(whole);
      int digits = 6;
      while (whole >= kPowers[digits]) ++digits;
      const uint64_t drop = kPowers[digits - 6];
      uint64_t kept = whole / drop;
      const uint64_t rest = whole - kept * drop;
      bool up;
      if (drop == 1) {
        up = below > 0.5 || (below == 0.5 && (kept & 1) != 0);
      } else {
        up = 2 * rest > drop || (2 * rest == drop && (below > 0.0 || (kept & 1) != 0));
      }
      int exponent = digits - 10;  // of the leading digit
      if (up && ++kept == 1000000) {
        kept = 100000;
        ++exponent;
      }
      if (exponent < 6) return WriteSixDigits(out, value < 0, kept, exponent);
    }
  }
  return std::to_chars(out, out + 32, value, std::chars_format::general, 6).ptr;
}

std::string FormatNumber(double value) {
  char buffer[32];
  return std::string(buffer, FormatNumberTo(buffer, value));
}

std::string FormatFixed(double value, int decimals) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return "nan";
  return std::string(buffer, result.ptr);
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      length = 1, code = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, code = lead & 0x07u;
    }
    bool ok = length > 0 && at + length <= text.size();
    for (size_t k = 1; ok && k < length; ++k) {
      ok = (byte(at + k) & 0xC0u) == 0x80u;
      code = (code << 6) | (byte(at + k) & 0x3Fu);
    }
    // The shortest form only, no surrogate halves, nothing beyond U+10FFFF.
    if (ok && length == 3) ok = code >= 0x800 && (code < 0xD800 || code > 0xDFFF);
    if (ok && length == 4) ok = code >= 0x10000 && code <= 0x10FFFF;
    if (!ok) {
      out += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    out.append(text.substr(at, length));
    at += length;
  }
  return out;
}

}  // namespace tessmol
