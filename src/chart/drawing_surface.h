// What the chart draws on: solid pens, lines and text at a point. The screen, the printer,
// image files and SVG files each implement it, so one drawing serves them all.
#pragma once

#include <string>

namespace tessmol {

struct Pen {
  int width = 1;
  int red = 0, green = 0, blue = 0;
  bool operator==(const Pen&) const = default;
};

// Where the point given to Text lies on the text: its top-left corner, the middle of its
// top edge, or the middle of its right edge (score labels, centred on their value).
enum class TextAlign { kLeftTop, kCentreTop, kRightMiddle };

class DrawingSurface {
 public:
  virtual ~DrawingSurface() = default;
  virtual void SetPen(const Pen& pen) = 0;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  virtual void Text(int x, int y, const std::string& text, TextAlign align) = 0;
  // The width a text takes when drawn here, in pixels. Digits of a 12-pixel sans-serif
  // font are about 7 pixels wide; surfaces with real font metrics say exactly.
  virtual int TextWidth(const std::string& text) const { return static_cast<int>(text.size()) * 7; }
  // The height of a line of text, ascent and descent together.
  virtual int TextHeight() const { return 14; }
};

}  // namespace tessmol
