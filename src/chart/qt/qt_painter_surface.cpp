#include "chart/qt/qt_painter_surface.h"

#include <QBuffer>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>

#include "chart/chart.h"

namespace tessmol {

void QtPainterSurface::SetPen(const Pen& pen) {
  QPen qpen(QColor(std::clamp(pen.red, 0, 255), std::clamp(pen.green, 0, 255), std::clamp(pen.blue, 0, 255)));
  qpen.setWidth(std::max(0, pen.width));
  qpen.setStyle(Qt::SolidLine);
  // Bars end where their residues end, as in the SVG (butt ends): Qt's default square cap
  // adds half the width at each end and joins the bars of stretches one residue apart. A
  // thin line (a curve, an axis) keeps it, so that its last pixel is drawn.
  if (pen.width > 1) qpen.setCapStyle(Qt::FlatCap);
  painter_.setPen(qpen);
}

void QtPainterSurface::MoveTo(int x, int y) {
  at_ = QPoint(x, y);
}

void QtPainterSurface::LineTo(int x, int y) {
  const QPoint to(x, y);
  painter_.drawLine(at_, to);
  at_ = to;
}

int QtPainterSurface::TextHeight() const {
  return painter_.fontMetrics().height();
}

int QtPainterSurface::TextWidth(const std::string& text) const {
  return painter_.fontMetrics().horizontalAdvance(QString::fromStdString(text));
}

void QtPainterSurface::Text(int x, int y, const std::string& text, TextAlign align) {
  const QString s = QString::fromStdString(text);
  const QFontMetrics metrics = painter_.fontMetrics();
  const int width = metrics.horizontalAdvance(s);
  const int left = align == TextAlign::kCentreTop     ? x - width / 2
                   : align == TextAlign::kRightMiddle ? x - width
                                                      : x;
  const int top = align == TextAlign::kRightMiddle ? y - metrics.height() / 2 : y;
  // Text is black whatever pen the lines are drawn with.
  const QPen pen = painter_.pen();
  painter_.setPen(Qt::black);
  painter_.drawText(left, top + metrics.ascent(), s);
  painter_.setPen(pen);
}

bool RenderChartPng(const ChartInput& input, int width, int height, std::string& bytes) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    QtPainterSurface surface(painter);
    DrawChart(surface, input);
  }
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return false;
  bytes.assign(png.constData(), static_cast<size_t>(png.size()));
  return true;
}

bool RenderChartPdf(const ChartInput& input, int width, int height, std::string& bytes) {
  QByteArray pdf;
  QBuffer buffer(&pdf);
  if (!buffer.open(QIODevice::WriteOnly)) return false;
  {
    // One point per pixel of the chart, no margins: the page is the figure.
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageLayout(QPageLayout(QPageSize(QSizeF(width, height), QPageSize::Point),
                                     QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setCreator(QStringLiteral("Tessmol"));
    writer.setTitle(QString::fromStdString(input.title));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    QtPainterSurface surface(painter);
    DrawChart(surface, input);
    painter.end();
  }
  bytes.assign(pdf.constData(), static_cast<size_t>(pdf.size()));
  return !bytes.empty();
}

}  // namespace tessmol
