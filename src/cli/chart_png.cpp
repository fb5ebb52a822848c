#include "cli/chart_png.h"

#include <filesystem>
#include <iostream>
#include <sstream>

#include "chart/svg_surface.h"
#include "model/file_status.h"

#include <QGuiApplication>
#include <memory>

#include "chart/qt/qt_painter_surface.h"

namespace tessmol::cli {

namespace {

// Text needs fonts, and fonts need a GUI application; the offscreen platform needs no
// display, so charts can be drawn on a cluster node. It is made on first use and ended
// by ShutdownChartRendering, before static destruction, which Qt does not survive.
std::unique_ptr<QGuiApplication>& Application() {
  static std::unique_ptr<QGuiApplication> application;
  return application;
}

}  // namespace

bool WritePng(const ChartInput& input, int width, int height, const std::string& path) {
  if (QGuiApplication::instance() == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tessmol-cli";
    static char* argv[] = {name, nullptr};
    Application() = std::make_unique<QGuiApplication>(argc, argv);
  }
  return WriteChartPng(input, width, height, QString::fromStdString(path));
}

void ShutdownChartRendering() {
  Application().reset();
}

bool WriteChartFile(const Structure& structure, const std::string& title, const std::string& path, int width,
                    int height, const ChartOptions& options) {
  ChartInput input = MakeChartInput(structure, true, options, {10, 10, width - 10, height - 10});
  input.title = title;
  const std::string extension = std::filesystem::path(path).extension().string();
  if (extension == ".svg" || extension == ".SVG") {
    SvgSurface svg(width, height);
    DrawChart(svg, input);
    const std::string text = svg.Finish();
    return WriteFileAtomically(path, [&](std::ostream& out) { out << text; }).ok();
  }
  return WritePng(input, width, height, path);
}

std::string ChartPath(const std::string& chart, const std::string& structure, bool several) {
  if (!several) return chart;
  const std::filesystem::path p(chart);
  const std::string stem = std::filesystem::path(structure).stem().string();
  return (p.parent_path() / (p.stem().string() + "-" + stem + p.extension().string())).string();
}

bool ParseChartSize(const std::string& text, int& width, int& height) {
  char x = 0;
  std::istringstream size(text);
  if (!(size >> width >> x >> height) || x != 'x' || width < 340 || height < 140 || width > 20000 || height > 20000) {
    std::cerr << "Error: --chart-size takes WIDTHxHEIGHT in pixels, at least 340x140\n";
    return false;
  }
  return true;
}

}  // namespace tessmol::cli
