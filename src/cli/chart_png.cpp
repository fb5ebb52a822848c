#include "cli/chart_png.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <charconv>
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
  bool (*renderPdf)(const ChartInput*, int, int, std::string*) = nullptr;
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
    png.renderPdf = reinterpret_cast<bool (*)(const ChartInput*, int, int, std::string*)>(
        ::dlsym(png.handle, "TessmolRenderPdf"));
    png.shutdown = reinterpret_cast<void (*)()>(::dlsym(png.handle, "TessmolShutdownPng"));
  }
  if (png.render == nullptr || png.renderPdf == nullptr || png.shutdown == nullptr) {
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
  const bool pdf = ChartTypeOf(path) == ChartType::kPdf;
  if (!(pdf ? Png().renderPdf : Png().render)(&input, width, height, &bytes))
    return FileStatus::WriteFailed(path, "the chart could not be drawn");
  return WriteBytesAtomically(path, bytes);
}

void ShutdownChartRendering() {
  if (Png().shutdown != nullptr) Png().shutdown();
}

ChartType ChartTypeOf(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".svg") return ChartType::kSvg;
  if (extension == ".png") return ChartType::kPng;
  if (extension == ".pdf") return ChartType::kPdf;
  return ChartType::kNone;
}

CLI::Validator ChartFileType() {
  return CLI::Validator(
      [](std::string& path) -> std::string {
        if (ChartTypeOf(path) != ChartType::kNone) return {};
        return "a chart is drawn as .svg, .png or .pdf, not " + path;
      },
      "FILE.svg|.png|.pdf");
}

CLI::Validator ChartRange() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        ChartSelection selection;
        if (ParseChartRange(text, selection)) return {};
        return "--chart-range takes FROM-TO, residue numbers with FROM at most TO (30-330), not " + text;
      },
      "FROM-TO");
}

namespace {

// A whole text that is a residue number, nothing else.
bool WholeNumber(std::string_view text, int32_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

bool ParseChartRange(const std::string& text, ChartSelection& selection) {
  // FROM-TO, either of them negative: -5-120 and -10--2 are ranges.
  for (size_t dash = 1; dash + 1 < text.size(); ++dash) {
    if (text[dash] != '-') continue;
    int32_t from = 0, to = 0;
    if (!WholeNumber(std::string_view(text).substr(0, dash), from) ||
        !WholeNumber(std::string_view(text).substr(dash + 1), to))
      continue;
    if (from > to) return false;
    selection.hasRange = true;
    selection.fromResSeq = from;
    selection.toResSeq = to;
    return true;
  }
  return false;
}

void AddChartSelectionOptions(CLI::App& command, ChartSelection& selection) {
  command
      .add_option("--chart-chains", selection.chains, "Draw only these chains in the chart, by name (A,B)")
      ->delimiter(',')
      ->allow_extra_args(false);  // one value (A,B): the structure files follow it
  command
      .add_option_function<std::string>(
          "--chart-range", [&selection](const std::string& text) { ParseChartRange(text, selection); },
          "Draw only residues numbered FROM to TO in the chart (30-330)")
      ->check(ChartRange());
}

FileStatus WriteChartFile(const Protein& protein, const std::string& title, const std::string& path,
                          int width, int height, const ChartOptions& options,
                          const ChartSelection& selection) {
  ChartInput input = MakeChartInput(protein, true, options, {10, 10, width - 10, height - 10});
  input.title = title;
  input.selection = selection;
  // Chains asked for by name that the structure lacks, and a choice that leaves nothing.
  for (const std::string& name : selection.chains) {
    bool found = false;
    for (size_t k = 0; k < protein.structure.chains.size() && !found; ++k)
      found = protein.structure.ChainName(k) == name;
    if (!found)
      return FileStatus::WriteFailed(
          path, "nothing to draw: the structure has no chain " + name + " (named by --chart-chains)");
  }
  if (DrawnRanges(input).empty())
    return FileStatus::WriteFailed(
        path, "nothing to draw: no residue of the structure is within the chains and range chosen");
  if (ChartTypeOf(path) == ChartType::kSvg) {
    SvgSurface svg(width, height);
    DrawChart(svg, input);
    return WriteBytesAtomically(path, svg.Finish());
  }
  return WritePng(input, width, height, path);
}

bool ParseChartSize(const std::string& text, int& width, int& height) {
  char x = 0;
  std::istringstream size(text);
  if (!(size >> width >> x >> height) || x != 'x' || !size.eof() || width < kMinChartWidth ||
      height < kMinChartHeight || width > kMaxChartSide || height > kMaxChartSide) {
    std::cerr << "Error: --chart-size takes WIDTHxHEIGHT in pixels, from " << kMinChartWidth << 'x'
              << kMinChartHeight << " up to " << kMaxChartSide << 'x' << kMaxChartSide << ", not " << text
              << '\n';
    return false;
  }
  return true;
}

}  // namespace tessmol::cli
