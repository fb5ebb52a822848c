#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "base/file_status.h"
#include "chart/chart.h"

namespace tessmol::cli {

// Renders the chart into a PNG file with Qt's painter on an offscreen image, or into a PDF
// file when the path ends in .pdf.
FileStatus WritePng(const ChartInput& input, int width, int height, const std::string& path);

// The sizes --chart-size takes: room for the bands around the plot, and no larger than
// an image a viewer still opens (a 20000 x 20000 PNG is 1.6 GB in memory).
// The smallest size whose legend, tracks, plot and axis labels all fit (a predicted
// membrane protein's legend takes five rows at 400 pixels wide).
inline constexpr int kMinChartWidth = 600, kMinChartHeight = 400, kMaxChartSide = 20000;

enum class ChartType { kNone, kSvg, kPng, kPdf };
// The kind of file a chart path asks for, by its extension (any letter case).
ChartType ChartTypeOf(const std::string& path);
// --chart FILE: refused unless FILE ends in .svg, .png or .pdf.
CLI::Validator ChartFileType();
// --chart-chains A,B and --chart-range FROM-TO into `selection`; an inverted or malformed
// range is refused as bad usage.
void AddChartSelectionOptions(CLI::App& command, ChartSelection& selection);
CLI::Validator ChartRange();
// FROM-TO with FROM at most TO into `selection`; false when it is no such range.
bool ParseChartRange(const std::string& text, ChartSelection& selection);

// The chart of an analysed structure into FILE.svg, FILE.png or FILE.pdf, as a figure
// under `title`. Chains named in `selection` that the structure lacks, or a selection
// that leaves nothing to draw, fail with the reason and write nothing.
FileStatus WriteChartFile(const Protein& protein, const std::string& title, const std::string& path,
                          int width, int height, const ChartOptions& options,
                          const ChartSelection& selection = {});
// --chart-size WIDTHxHEIGHT: false (after the message) when it is no size.
bool ParseChartSize(const std::string& text, int& width, int& height);
// Ends what WritePng set up; main calls it before returning.
void ShutdownChartRendering();

}  // namespace tessmol::cli
