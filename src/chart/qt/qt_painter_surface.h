// The chart's drawing surface on a QPainter: the screen, the printer and PNG files.
#pragma once

#include <QPainter>
#include <string>

#include "chart/drawing_surface.h"

namespace tessmol {

class QtPainterSurface : public DrawingSurface {
 public:
  explicit QtPainterSurface(QPainter& painter) : painter_(painter) {}
  void SetPen(const Pen& pen) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Text(int x, int y, const std::string& text, TextAlign align) override;
  int TextWidth(const std::string& text) const override;
  int TextHeight() const override;

 private:
  QPainter& painter_;
  QPoint at_;
};

// Renders a chart of `size` pixels as the bytes of a PNG file, which the one safe writer
// then writes; false when it cannot be drawn.
struct ChartInput;
bool RenderChartPng(const ChartInput& input, int width, int height, std::string& bytes);
// The same as a one-page PDF of width x height points.
bool RenderChartPdf(const ChartInput& input, int width, int height, std::string& bytes);

}  // namespace tessmol
