#include "cli/chart_png.h"

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

}  // namespace tessmol::cli
