#pragma once

#include <string>

#include "base/file_status.h"
#include "chart/chart.h"

namespace tessmol::cli {

// Renders the chart into a PNG file with Qt's painter on an offscreen image.
FileStatus WritePng(const ChartInput& input, int width, int height, const std::string& path);

// The chart of an analysed structure into FILE.svg or FILE.png, as a figure under `title`.
FileStatus WriteChartFile(const Protein& protein, const std::string& title, const std::string& path,
                          int width, int height, const ChartOptions& options);
// The chart file of one structure: FILE as given for a single structure, otherwise with
// the structure's name before the extension.
std::string ChartPath(const std::string& chart, const std::string& structure, bool several);
// --chart-size WIDTHxHEIGHT: false (after the message) when it is no size.
bool ParseChartSize(const std::string& text, int& width, int& height);
// Ends what WritePng set up; main calls it before returning.
void ShutdownChartRendering();

}  // namespace tessmol::cli
