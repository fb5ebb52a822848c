// Chart options files: every option a file can set, drawn into SVG as the pane and as a
// figure, and the pointer's status text.
#include "chart/chart.h"
#include "chart/chart_options.h"
#include "chart/svg_surface.h"
#include "fuzz_support.h"

using namespace tessmol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::ScratchPath("ChartOptions.opt");
  fuzz::WriteBytes(path, data, size);
  ChartOptions options = DefaultChartOptions();
  SilentFeedback quiet;
  if (!LoadChartOptions(path, options, quiet)) return 0;
  const Protein& protein = fuzz::SmallProtein();
  SvgSurface pane(640, 400), figure(640, 400);
  ChartInput input = MakeChartInput(protein, true, options, {10, 10, 630, 390});
  DrawChart(pane, input);
  for (int x : {0, 45, 300, 629}) HoverText(input, x);
  input.title = "small.pdb";
  DrawChart(figure, input);
  FUZZ_CHECK(!pane.Finish().empty());
  return 0;
}
