// PNG and PDF charts through Qt's painter, in a library of their own that tessmol-cli opens only
// when a .png or .pdf is asked for: every other run starts without loading the toolkit.
#include <QGuiApplication>
#include <memory>
#include <string>

#include "chart/chart.h"
#include "chart/qt/qt_painter_surface.h"

namespace {

// Text needs fonts, and fonts need a GUI application; the offscreen platform needs no
// display, so charts can be drawn on a cluster node. It is made on first use and ended
// before static destruction, which Qt does not survive.
std::unique_ptr<QGuiApplication>& Application() {
  static std::unique_ptr<QGuiApplication> application;
  return application;
}

void StartApplication() {
  if (QGuiApplication::instance() == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tessmol-cli";
    static char* argv[] = {name, nullptr};
    Application() = std::make_unique<QGuiApplication>(argc, argv);
  }
}

}  // namespace

extern "C" {

// The file's bytes only: the program writes them through its own safe writer.
__attribute__((visibility("default"))) bool TessmolRenderPng(const tessmol::ChartInput* input, int width,
                                                             int height, std::string* bytes) {
  StartApplication();
  return tessmol::RenderChartPng(*input, width, height, *bytes);
}

__attribute__((visibility("default"))) bool TessmolRenderPdf(const tessmol::ChartInput* input, int width,
                                                             int height, std::string* bytes) {
  StartApplication();
  return tessmol::RenderChartPdf(*input, width, height, *bytes);
}

__attribute__((visibility("default"))) void TessmolShutdownPng() {
  Application().reset();
}

}  // extern "C"
