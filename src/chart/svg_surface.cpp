#include "chart/svg_surface.h"

namespace tessmol {

namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
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
  const char* anchor = align == TextAlign::kCentreTop     ? " text-anchor=\"middle\""
                       : align == TextAlign::kRightMiddle ? " text-anchor=\"end\""
                                                          : "";
  body_ << "<text x=\"" << x << "\" y=\"" << y << "\" dominant-baseline=\""
        << (align == TextAlign::kRightMiddle ? "central" : "hanging") << '"' << anchor << ">" << Escaped(text)
        << "</text>\n";
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
