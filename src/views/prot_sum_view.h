// The protein summary: file name, counts, total area, average score and the predicted
// transmembrane domains, one text line every 20 pixels, all at one left margin.
#pragma once

#include <QAbstractScrollArea>
#include <QStringList>

namespace tessmol {

class CProtSumView : public QAbstractScrollArea {
 public:
  explicit CProtSumView(QWidget* parent = nullptr);
  // The lines to show; empty while no structure is loaded.
  void SetLines(const QStringList& lines);
  const QStringList& lines() const { return lines_; }
  static constexpr int kLineHeight = 20;
  static constexpr int kMargin = 4;  // left edge of every line, in pixels

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void UpdateExtent();
  QStringList lines_;
};

}  // namespace tessmol
