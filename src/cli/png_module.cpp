// PNG and PDF charts through Qt's painter, in a library of their own that tessmol-cli opens only
// when a .png or .pdf is asked for: every other run starts without loading the toolkit.
#include <QGuiApplication>
#include <cstdio>
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

QtMessageHandler previousHandler = nullptr;

// Qt tells stderr when XDG_RUNTIME_DIR is unset (cluster nodes, containers, cron) and uses a
// folder of its own instead; a chart needs no runtime folder, so that notice is no news to
// the user. Every other message goes where it went.
void PassOnAllButTheRuntimeNotice(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  if (previousHandler != nullptr) {
    previousHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
  }
}

void StartApplication() {
  if (QGuiApplication::instance() == nullptr) {
    previousHandler = qInstallMessageHandler(PassOnAllButTheRuntimeNotice);
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
