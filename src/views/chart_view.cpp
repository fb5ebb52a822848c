#include "views/chart_view.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <algorithm>
#include <cctype>

#include "chart/qt/qt_painter_surface.h"
#include "chart/svg_surface.h"

namespace tessmol {

namespace {

// Message boxes of the options file loader go through the dialog seam.
class DialogFeedback : public SilentFeedback {
 public:
  DialogFeedback(DialogService& dialogs, QWidget* parent) : dialogs_(dialogs), parent_(parent) {}
  void ShowMessage(const std::string& text) override {
    dialogs_.Message(parent_, QString::fromStdString(text));
  }

 private:
  DialogService& dialogs_;
  QWidget* parent_;
};

}  // namespace

CChartView::CChartView(CTessmolDoc& doc, DialogService& dialogs, QWidget* parent)
    : QAbstractScrollArea(parent),
      doc_(doc),
      dialogs_(dialogs),
      dialog_(dialogs, this),
      options_(DefaultChartOptions()) {
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  viewport()->setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void CChartView::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  // The options are read once the window is on the screen, so that a message about their
  // file comes over a drawn window rather than in the middle of its first painting.
  if (!initialised_) {
    QTimer::singleShot(0, this, [this]() {
      if (initialised_) return;
      FirstShow();
      viewport()->update();
    });
  }
}

// The first showing: the options from their file.
void CChartView::FirstShow() {
  initialised_ = true;
  DialogFeedback feedback(dialogs_, this);
  LoadChartOptions(doc_.state().programFolder() + kChartOptionsFile, options_, feedback);
}

// The plot lies 10 pixels inside the pane, following the pane's size, until the user
// drags one of its edges; from then on only dragging changes it.
void CChartView::PlacePlot() {
  if (plotPlaced_) return;
  plotPlaced_ = true;
  const QSize client = viewport()->size();
  plot_ = {10, 10, std::max(client.width() - 10, 320), std::max(client.height() - 10, 120)};
  SetScrollSize(client);
}

void CChartView::SetScrollSize(QSize size) {
  scrollSize_ = size;
  horizontalScrollBar()->setRange(0, std::max(0, size.width() - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
  verticalScrollBar()->setRange(0, std::max(0, size.height() - viewport()->height()));
  verticalScrollBar()->setPageStep(viewport()->height());
}

void CChartView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (!userSized_) plotPlaced_ = false;
  if (initialised_) SetScrollSize(userSized_ ? scrollSize_ : viewport()->size());
}

ChartInput CChartView::Input() {
  if (!initialised_) FirstShow();
  PlacePlot();
  return MakeChartInput(doc_.protein(), doc_.structureLoaded(), options_, plot_, dialog_.showLegend());
}

void CChartView::OnUpdate() {
  viewport()->update();
}

void CChartView::paintEvent(QPaintEvent*) {
  if (!initialised_) return;
  const ChartInput input = Input();
  QPainter painter(viewport());
  painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
  QtPainterSurface surface(painter);
  DrawChart(surface, input);
  // An empty document says where to start instead of showing an empty frame.
  if (!input.structureLoaded) {
    const PlotRect& r = input.rect;
    painter.drawText(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                     Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("Open a structure (File > Open) or run Spanner2D on a FASTA file"));
  }
}

void CChartView::OnChartOptions() {
  if (!initialised_) FirstShow();
  QStringList chains;
  for (const Chain& c : doc_.protein().structure.chains) chains << QString(QChar(c.chainId));
  dialog_.Prepare(chains, &options_);
  if (dialogs_.Run(dialog_) == QDialog::Accepted) viewport()->repaint();
}

std::string CChartView::FigureTitle() const {
  return StructureName(doc_.protein().fileName) + "  (" + doc_.scoreTable().fileName + ")";
}

void CChartView::Print(QPagedPaintDevice& printer) {
  ChartInput input = Input();
  input.title = FigureTitle();
  // Landscape when the pane's chart is wider than tall. The figure is then laid out at the
  // page's own shape, as wide as the pane's (at least 900 pixels, so that text keeps its
  // size against the chart), and scaled to the page: it fills the page to its foot.
  printer.setPageOrientation(input.rect.right > input.rect.bottom ? QPageLayout::Landscape
                                                                  : QPageLayout::Portrait);
  QPainter painter(&printer);
  const QRect page = painter.viewport();
  if (page.width() <= 0 || page.height() <= 0) return;
  const int width = std::max(input.rect.right + 10, 900);
  const int height =
      std::max(static_cast<int>(static_cast<double>(width) * page.height() / page.width()), 300);
  input.rect = {10, 10, width - 10, height - 10};
  const double scale =
      std::min(static_cast<double>(page.width()) / width, static_cast<double>(page.height()) / height);
  painter.translate(page.left(), page.top());
  painter.scale(scale, scale);
  QFont font = painter.font();
  font.setPixelSize(12);
  painter.setFont(font);
  QtPainterSurface surface(painter);
  DrawChart(surface, input);
}

FileStatus CChartView::Export(const std::string& path) {
  ChartInput input = Input();
  input.title = FigureTitle();
  // The pane's size, and no smaller than a figure needs to stay legible.
  const int width = std::max(input.rect.right + 10, 800), height = std::max(input.rect.bottom + 10, 500);
  input.rect = {10, 10, width - 10, height - 10};
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  const auto endsWith = [&lower](const char* ext) {
    const std::string e = ext;
    return lower.size() >= e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0;
  };
  std::string bytes;
  if (endsWith(".svg")) {
    SvgSurface svg(width, height);
    DrawChart(svg, input);
    bytes = svg.Finish();
  } else if (endsWith(".png")) {
    if (!RenderChartPng(input, width, height, bytes))
      return FileStatus::WriteFailed(path, "the chart could not be drawn");
  } else if (endsWith(".pdf")) {
    if (!RenderChartPdf(input, width, height, bytes))
      return FileStatus::WriteFailed(path, "the chart could not be drawn");
  } else {
    return FileStatus::WriteFailed(path, "a chart is exported as .svg, .png or .pdf");
  }
  return WriteBytesAtomically(path, bytes);
}

QPoint CChartView::ToLogical(const QPoint& p) const {
  return p + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CChartView::mouseMoveEvent(QMouseEvent* event) {
  PlacePlot();
  const QPoint at = ToLogical(event->position().toPoint());
  const bool leftOnly = event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier;
  if (!leftOnly) {
    // The residue under the pointer and the curves' values there, in the status bar.
    QStatusTipEvent tip(QString::fromStdString(HoverText(Input(), at.x())));
    QCoreApplication::sendEvent(this, &tip);
    dragMode_ = HitTestPlot(plot_, at.x(), at.y());
    static const Qt::CursorShape cursors[9] = {Qt::SizeHorCursor,   Qt::SizeHorCursor,   Qt::SizeVerCursor,
                                               Qt::SizeVerCursor,   Qt::SizeFDiagCursor, Qt::SizeBDiagCursor,
                                               Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::ArrowCursor};
    if (dragMode_ == PlotEdge::kNone) {
      viewport()->unsetCursor();
    } else {
      viewport()->setCursor(cursors[static_cast<int>(dragMode_)]);
    }
    return;
  }
  if (dragMode_ == PlotEdge::kRight || dragMode_ == PlotEdge::kBottom) userSized_ = true;
  if (dragMode_ == PlotEdge::kRight) {
    if (DragRightEdge(plot_, at.x(), scrollSize_.width())) {
      SetScrollSize(QSize(plot_.right + 20, plot_.bottom + 20));
      horizontalScrollBar()->setValue(at.x());
    }
    viewport()->repaint();
    viewport()->setCursor(Qt::SizeHorCursor);
  } else if (dragMode_ == PlotEdge::kBottom) {
    if (DragBottomEdge(plot_, at.y(), scrollSize_.height())) {
      SetScrollSize(QSize(plot_.right + 20, plot_.bottom + 20));
      verticalScrollBar()->setValue(at.y());
    }
    viewport()->repaint();
    viewport()->setCursor(Qt::SizeVerCursor);
  }
}

void CChartView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    viewport()->grabMouse();
  }
}

void CChartView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  viewport()->releaseMouse();
  dragging_ = false;
  // Only a drag of an edge changes the scrollable area; a click leaves it as it was.
  if (userSized_) {
    SetScrollSize(QSize(std::max(plot_.right + 10, viewport()->width()),
                        std::max(plot_.bottom + 10, viewport()->height())));
  }
}

void CChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) OnChartOptions();
}

}  // namespace tessmol
