#include "chart/svg_surface.h"

#include "base/text.h"

namespace tessmol {

namespace {

// XML text: the markup characters escaped, bytes that are no UTF-8 made U+FFFD and control
// characters (which XML 1.0 does not allow) made spaces.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : ValidUtf8(text)) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

SvgSurface::SvgSurface(int width, int height) : width_(width), height_(height) {}

void SvgSurface::SetPen(const Pen& pen) {
  pen_ = pen;
}

void SvgSurface::MoveTo(int x, int y) {
  x_ = x;
  y_ = y;
}

void SvgSurface::LineTo(int x, int y) {
  body_ << "<line x1=\"" << x_ << "\" y1=\"" << y_ << "\" x2=\"" << x << "\" y2=\"" << y << "\" stroke=\"rgb("
        << pen_.red << ',' << pen_.green << ',' << pen_.blue << ")\" stroke-width=\""
        << std::max(1, pen_.width) << "\"/>\n";
  x_ = x;
  y_ = y;
}

void SvgSurface::Text(int x, int y, const std::string& text, TextAlign align) {
  // The baseline is placed explicitly rather than through dominant-baseline, which some
  // renderers (librsvg among them) ignore: a 12-pixel sans-serif font rises about 11
  // pixels above it, and its middle lies about 4 pixels above it.
  const char* anchor = align == TextAlign::kCentreTop     ? " text-anchor=\"middle\""
                       : align == TextAlign::kRightMiddle ? " text-anchor=\"end\""
                                                          : "";
  const int baseline = align == TextAlign::kRightMiddle ? y + 4 : y + 11;
  body_ << "<text x=\"" << x << "\" y=\"" << baseline << '"' << anchor << ">" << Escaped(text) << "</text>\n";
}

int SvgSurface::TextWidth(const std::string& text) const {
  // The viewer picks the font: DejaVu Sans, the common default, sets 12-pixel digits 7.6
  // pixels wide and few letters wider than 8.
  return static_cast<int>(text.size()) * 8;
}

std::string SvgSurface::Finish() {
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width_ << "\" height=\"" << height_
      << "\" viewBox=\"0 0 " << width_ << ' ' << height_
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << body_.str() << "</svg>\n";
  return out.str();
}

}  // namespace tessmol
