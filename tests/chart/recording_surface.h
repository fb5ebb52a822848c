// A drawing surface that keeps every line and text drawn, for the chart's tests.
#pragma once

#include <string>
#include <vector>

#include "chart/drawing_surface.h"

namespace tessmol::test {

struct Segment {
  Pen pen;
  int x1, y1, x2, y2;
};
struct Label {
  int x, y;
  std::string text;
  TextAlign align;
};
struct Box {
  int left, top, right, bottom;  // right and bottom exclusive
  bool Overlaps(const Box& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
};

class RecordingSurface : public DrawingSurface {
 public:
  void SetPen(const Pen& p) override { pen = p; }
  void MoveTo(int x, int y) override {
    cx = x;
    cy = y;
  }
  void LineTo(int x, int y) override {
    segments.push_back({pen, cx, cy, x, y});
    cx = x;
    cy = y;
  }
  void Text(int x, int y, const std::string& text, TextAlign align) override {
    labels.push_back({x, y, text, align});
  }
  // Where a label's text lies, by the surface's own measures.
  Box BoxOf(const Label& l) const {
    const int w = TextWidth(l.text), h = TextHeight();
    switch (l.align) {
      case TextAlign::kCentreTop:
        return {l.x - w / 2, l.y, l.x - w / 2 + w, l.y + h};
      case TextAlign::kRightMiddle:
        return {l.x - w, l.y - h / 2, l.x, l.y - h / 2 + h};
      case TextAlign::kLeftTop:
        break;
    }
    return {l.x, l.y, l.x + w, l.y + h};
  }
  std::vector<Segment> segments;
  std::vector<Label> labels;
  Pen pen;
  int cx = 0, cy = 0;
};

}  // namespace tessmol::test
