#pragma once

#include <string>

#include "chart/chart.h"

namespace tessmol::cli {

// Renders the chart into a PNG file with Qt's painter on an offscreen image.
bool WritePng(const ChartInput& input, int width, int height, const std::string& path);
// Ends what WritePng set up; main calls it before returning.
void ShutdownChartRendering();

}  // namespace tessmol::cli
