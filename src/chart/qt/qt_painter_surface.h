// The chart's drawing surface on a QPainter: the screen, the printer and PNG files.
#pragma once

#include <QPainter>

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

 private:
  QPainter& painter_;
  QPoint at_;
};

// Renders a chart of `size` pixels into a PNG file; false when it cannot be written.
struct ChartInput;
bool WriteChartPng(const ChartInput& input, int width, int height, const QString& path);

}  // namespace tessmol
