#include "chart/chart_options.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "base/file_status.h"
#include "base/text.h"

namespace tessmol {

const std::string& DefaultChartOptionsText() {
  static const std::string text =
      "PROFILES\n1\n1\n10\n0\n0\n255\n"
      "KAVELIN\n1\n1\n10\n255\n0\n0\n"
      "OVERALL\n0\n1\n10\n0\n0\n0\n"
      "XAXIS\n1\n20\n1\n0\n0\n \n \n0\n0\n"
      "YAXIS\n1\n1.0\n1\n0\n0\n \n \n0\n0\n";
  return text;
}

namespace {

// The largest interval, minimum or maximum a file may give: the score axis spans scores,
// which are within +-1e6 (the score table's own limit), and no chain has a million residues.
constexpr double kMaxAxisValue = 1e6;

// Reads the records into `options`; a value that is no number within its range (an
// infinity, NaN or overflow among them) stops the reading with a format error naming its
// line. Lines without a number read as 0, as they always have.
FileStatus ReadRecords(std::istream& in, const std::string& path, ChartOptions& options) {
  std::vector<std::string> lines;
  std::string line;
  while (ReadLine(in, line)) lines.push_back(line);
  size_t i = 0;
  std::string error;
  size_t errorLine = 0;
  auto fail = [&](const std::string& detail) {
    if (error.empty()) {
      error = detail;
      errorLine = i;  // the line just read, counted from 1
    }
  };
  // The value lines after a key; a record cut short takes empty lines.
  auto next = [&]() -> std::string { return i < lines.size() ? lines[i++] : std::string(); };
  auto whole = [&]() -> int32_t {
    const std::optional<int32_t> value = ParseCheckedInt(next());
    if (!value) fail("not a whole number of 32 bits");
    return value.value_or(0);
  };
  auto real = [&]() -> float {
    const std::optional<double> value = ParseFiniteReal(next());
    if (!value || std::fabs(*value) > kMaxAxisValue) fail("not a number from -1e6 to 1e6");
    return value && std::fabs(*value) <= kMaxAxisValue ? static_cast<float>(*value) : 0.0f;
  };
  while (i < lines.size() && error.empty()) {
    const std::string key = lines[i++];
    int series = -1, axis = -1;
    if (key == "PROFILES") series = 0;
    if (key == "KAVELIN") series = 1;
    if (key == "OVERALL") series = 2;
    if (key == "XAXIS") axis = 0;
    if (key == "YAXIS") axis = 1;
    if (series >= 0) {
      ChartSeriesOptions& s = options.series[series];
      s.show = whole() != 0;
      s.lineThickness = whole();
      s.movingAverage = whole();
      s.red = whole();
      s.green = whole();
      s.blue = whole();
    } else if (axis >= 0) {
      ChartAxisOptions& a = options.axes[axis];
      a.showUnits = whole() != 0;
      a.unitInterval = real();
      a.automatic = whole() != 0;
      a.fromResidue = whole();
      a.toResidue = whole();
      const std::string from = next();
      a.fromChain = from.empty() ? '\0' : from[0];
      const std::string to = next();
      a.toChain = to.empty() ? '\0' : to[0];
      a.minimum = real();
      a.maximum = real();
    }
  }
  if (!error.empty()) return FileStatus::Format(path, static_cast<int>(errorLine), error);
  return FileStatus::Ok(path);
}

}  // namespace

ChartOptions DefaultChartOptions() {
  ChartOptions options;
  std::istringstream in(DefaultChartOptionsText());
  // The built-in text, read by tests on every build: it cannot fail.
  static_cast<void>(ReadRecords(in, "the default chart options", options));
  return options;
}

bool LoadChartOptions(const std::string& path, ChartOptions& options, Feedback& feedback) {
  std::ifstream in;
  if (!OpenForReading(in, path)) {
    feedback.ShowMessage("File Error:\tCan not find chart options file '" + path +
                         "'\n\tCreating file with default values");
    if (const FileStatus written = WriteBytesAtomically(path, DefaultChartOptionsText()); !written) {
      feedback.ShowMessage("Error: Couldn't create file: " + written.detail);
    }
    if (!OpenForReading(in, path)) {
      feedback.ShowMessage("Error - Chart may not initialise properly\nplease shut down program and re-open");
      return false;
    }
  }
  // All or nothing: a refused file leaves `options` as they were.
  ChartOptions read = options;
  if (const FileStatus status = ReadRecords(in, path, read); !status) {
    feedback.ShowMessage(status.Describe());
    return false;
  }
  options = read;
  return true;
}

bool IsDrawable(const ChartSeriesOptions& s) {
  return s.lineThickness >= 1 && s.lineThickness <= 10 && s.movingAverage >= 1 && s.movingAverage <= 500 &&
         s.red <= 255 && s.green <= 255 && s.blue <= 255;
}

}  // namespace tessmol
