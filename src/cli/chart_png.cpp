#include "cli/chart_png.h"

#include <dlfcn.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "base/file_status.h"
#include "base/program_folder.h"
#include "chart/svg_surface.h"

namespace tessmol::cli {

namespace {

// The PNG library beside the executable, opened on the first PNG: a run that draws no PNG
// never loads Qt, which would more than double its start-up (11.4 ms of CPU against 4.5 ms
// per run of `analyse` on crambin, bench/startup.sh). The module has the shared libstdc++
// while tessmol-cli has its own static copy, so two copies of the C++ runtime live in one
// process: only two C functions are looked up, and what crosses them (a ChartInput and a
// std::string) is built by one compiler with one library version, so both sides agree on
// its layout, and both copies allocate through the same malloc. No exception crosses:
// TessmolRenderPng says failure by its result.
struct PngLibrary {
  void* handle = nullptr;
  bool (*render)(const ChartInput*, int, int, std::string*) = nullptr;
  void (*shutdown)() = nullptr;
};

PngLibrary& Png() {
  static PngLibrary library;
  return library;
}

bool OpenPngLibrary() {
  PngLibrary& png = Png();
  if (png.render != nullptr) return true;
  const std::string path = ExecutableFolder() + "/libtessmol_png.so";
  png.handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (png.handle != nullptr) {
    png.render = reinterpret_cast<bool (*)(const ChartInput*, int, int, std::string*)>(
        ::dlsym(png.handle, "TessmolRenderPng"));
    png.shutdown = reinterpret_cast<void (*)()>(::dlsym(png.handle, "TessmolShutdownPng"));
  }
  if (png.render == nullptr || png.shutdown == nullptr) {
    const char* why = ::dlerror();
    std::cerr << "Error: cannot load the PNG drawing library " << path << ": "
              << (why ? why : "no such symbol") << '\n';
    png.render = nullptr;
    return false;
  }
  return true;
}

}  // namespace

FileStatus WritePng(const ChartInput& input, int width, int height, const std::string& path) {
  if (!OpenPngLibrary()) return FileStatus::WriteFailed(path, "the PNG drawing library could not be loaded");
  std::string bytes;
  if (!Png().render(&input, width, height, &bytes))
    return FileStatus::WriteFailed(path, "the chart could not be drawn");
  return WriteBytesAtomically(path, bytes);
}

void ShutdownChartRendering() {
  if (Png().shutdown != nullptr) Png().shutdown();
}

FileStatus WriteChartFile(const Protein& protein, const std::string& title, const std::string& path,
                          int width, int height, const ChartOptions& options) {
  ChartInput input = MakeChartInput(protein, true, options, {10, 10, width - 10, height - 10});
  input.title = title;
  const std::string extension = std::filesystem::path(path).extension().string();
  if (extension == ".svg" || extension == ".SVG") {
    SvgSurface svg(width, height);
    DrawChart(svg, input);
    return WriteBytesAtomically(path, svg.Finish());
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
  if (!(size >> width >> x >> height) || x != 'x' || width < 340 || height < 140 || width > 20000 ||
      height > 20000) {
    std::cerr << "Error: --chart-size takes WIDTHxHEIGHT in pixels, at least 340x140\n";
    return false;
  }
  return true;
}

}  // namespace tessmol::cli
