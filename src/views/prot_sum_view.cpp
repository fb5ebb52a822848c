#include "views/prot_sum_view.h"

#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>

namespace tessmol {

CProtSumView::CProtSumView(QWidget* parent) : QAbstractScrollArea(parent) {
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  // A fixed-pitch font: the domain lines are laid out in columns by spaces.
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void CProtSumView::SetLines(const QStringList& lines) {
  lines_ = lines;
  UpdateExtent();
  viewport()->update();
}

// The scrollable extent follows the text, so every transmembrane domain can be reached.
void CProtSumView::UpdateExtent() {
  const QFontMetrics metrics(font());
  int width = 0;
  for (const QString& line : lines_) width = std::max(width, kMargin + metrics.horizontalAdvance(line));
  const int height = kLineHeight * static_cast<int>(lines_.size());
  horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
  verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
  verticalScrollBar()->setPageStep(viewport()->height());
  verticalScrollBar()->setSingleStep(kLineHeight);
}

void CProtSumView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateExtent();
}

void CProtSumView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
  const int ascent = painter.fontMetrics().ascent();
  // Every line at the same left margin, so the domain columns stay under their headings.
  for (int k = 0; k < lines_.size(); ++k) painter.drawText(kMargin, kLineHeight * k + ascent, lines_[k]);
}

}  // namespace tessmol
