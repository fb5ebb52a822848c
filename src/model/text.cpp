#include "model/text.h"

#include <algorithm>
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

int32_t ParseInt(std::string_view text) {
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
    if (value > std::numeric_limits<int32_t>::max()) {
      value = std::numeric_limits<int32_t>::max() + int64_t{1};
      break;
    }
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) value = std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

double ParseReal(std::string_view text) {
  text = SkipSpace(text);
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '-') return 0.0;  // "+-1" is no number
  }
  double value = 0.0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone on overflow or underflow; the C library gives
    // a huge value or 0, and a huge coordinate is no more use than a NaN.
    return 0.0;
  }
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return value;
}

std::optional<double> ParseWholeReal(std::string_view text) {
  text = SkipSpace(text);
  while (!text.empty() && IsCSpace(text.back())) text.remove_suffix(1);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
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

std::string BareName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  fields.reserve(static_cast<size_t>(std::count(line.begin(), line.end(), '\t')) + 1);
  for (size_t start = 0;;) {
    const size_t tab = line.find('\t', start);
    fields.emplace_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

// to_chars with a precision formats as printf's %g and %f do in the C locale, which is
// what a default standard stream writes, without building a stream for every number.
std::string FormatNumber(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  return std::string(buffer, result.ptr);
}

std::string FormatFixed(double value, int decimals) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return "nan";
  return std::string(buffer, result.ptr);
}

}  // namespace tessmol
