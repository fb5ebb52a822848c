// A drawing surface that writes an SVG document.
#pragma once

#include <sstream>
#include <string>

#include "chart/drawing_surface.h"

namespace tessmol {

class SvgSurface : public DrawingSurface {
 public:
  SvgSurface(int width, int height);
  void SetPen(const Pen& pen) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Text(int x, int y, const std::string& text, TextAlign align) override;
  int TextWidth(const std::string& text) const override;
  // The whole document.
  std::string Finish();

 private:
  std::ostringstream body_;
  int width_, height_;
  Pen pen_;
  int x_ = 0, y_ = 0;
};

}  // namespace tessmol
