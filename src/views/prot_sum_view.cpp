#include "views/prot_sum_view.h"

#include <QPainter>
#include <QScrollBar>

namespace tessmol {

CProtSumView::CProtSumView(QWidget* parent) : QAbstractScrollArea(parent) {
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
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
  for (int k = 0; k < lines_.size(); ++k) width = std::max(width, k + metrics.horizontalAdvance(lines_[k]));
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
  // Line k starts at x = k and y = 20 k: the summary steps one pixel right per line.
  for (int k = 0; k < lines_.size(); ++k) painter.drawText(k, kLineHeight * k + ascent, lines_[k]);
}

}  // namespace tessmol
