#include "chart/chart_options.h"

#include <filesystem>
#include <fstream>
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

void ReadRecords(std::istream& in, ChartOptions& options) {
  std::vector<std::string> lines;
  std::string line;
  while (ReadLine(in, line)) lines.push_back(line);
  size_t i = 0;
  // The value lines after a key; a record cut short takes empty lines.
  auto next = [&]() -> std::string { return i < lines.size() ? lines[i++] : std::string(); };
  while (i < lines.size()) {
    const std::string key = lines[i++];
    int series = -1, axis = -1;
    if (key == "PROFILES") series = 0;
    if (key == "KAVELIN") series = 1;
    if (key == "OVERALL") series = 2;
    if (key == "XAXIS") axis = 0;
    if (key == "YAXIS") axis = 1;
    if (series >= 0) {
      ChartSeriesOptions& s = options.series[series];
      s.show = ParseInt(next()) != 0;
      s.lineThickness = ParseInt(next());
      s.movingAverage = ParseInt(next());
      s.red = ParseInt(next());
      s.green = ParseInt(next());
      s.blue = ParseInt(next());
    } else if (axis >= 0) {
      ChartAxisOptions& a = options.axes[axis];
      a.showUnits = ParseInt(next()) != 0;
      a.unitInterval = ParseFloat(next());
      a.automatic = ParseInt(next()) != 0;
      a.fromResidue = ParseInt(next());
      a.toResidue = ParseInt(next());
      const std::string from = next();
      a.fromChain = from.empty() ? '\0' : from[0];
      const std::string to = next();
      a.toChain = to.empty() ? '\0' : to[0];
      a.minimum = ParseFloat(next());
      a.maximum = ParseFloat(next());
    }
  }
}

}  // namespace

ChartOptions DefaultChartOptions() {
  ChartOptions options;
  std::istringstream in(DefaultChartOptionsText());
  ReadRecords(in, options);
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
  ReadRecords(in, options);
  return true;
}

bool IsDrawable(const ChartSeriesOptions& s) {
  return s.lineThickness >= 1 && s.lineThickness <= 10 && s.movingAverage >= 1 && s.movingAverage <= 500 &&
         s.red <= 255 && s.green <= 255 && s.blue <= 255;
}

}  // namespace tessmol
