// The chart's options: one record per score series (Profiles-3D, KAVELIN, overall) and
// one per axis (residues, scores), read from the chart options file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/feedback.h"

namespace tessmol {

struct ChartSeriesOptions {
  bool show = true;
  int32_t lineThickness = 1;
  int32_t movingAverage = 10;
  int32_t red = 0, green = 0, blue = 0;
};

// What a series needs to be drawn: a line 1 to 10 pixels thick, a moving average over 1
// to 500 residues, colour components up to 255. The options dialog keeps a tab whose
// series is not drawable.
bool IsDrawable(const ChartSeriesOptions& series);

struct ChartAxisOptions {
  bool showUnits = true;
  float unitInterval = 1.0f;
  bool automatic = true;
  int32_t fromResidue = 0;
  int32_t toResidue = 0;
  char fromChain = ' ';
  char toChain = ' ';
  float minimum = 0.0f;
  float maximum = 0.0f;
};

struct ChartOptions {
  std::array<ChartSeriesOptions, 3> series;  // 0 Profiles-3D, 1 KAVELIN, 2 overall
  std::array<ChartAxisOptions, 2> axes;      // 0 residues (horizontal), 1 scores (vertical)
};

inline constexpr const char* kChartOptionsFile = "/Tessmol_Files/ChartOptions.opt";

// The text written when the options file is missing.
const std::string& DefaultChartOptionsText();
// The options that text describes.
ChartOptions DefaultChartOptions();

// Loads `options` from the file at `path`. A missing file is reported, created with the
// default text and read; records missing from a file leave `options` as they were.
// Whole numbers must fit in 32 bits, the axes' intervals, minimum and maximum lie within
// +-1e6; a file holding anything else (an infinity, NaN or overflow among them) is
// refused with its line, and `options` stay as they were.
// False when the file could neither be read nor created, or was refused.
bool LoadChartOptions(const std::string& path, ChartOptions& options, Feedback& feedback);

}  // namespace tessmol
