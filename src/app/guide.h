// Help > Tessmol Guide: a short guide to the scores, the methods behind them with their
// references, and where the program keeps its files and settings.
#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace tessmol {

// Where this run keeps its files, for the guide's last section.
struct GuidePlaces {
  QString resultFolder;  // the Working Directory, or the current folder
  QString programFolder;
  QString settingsFile;  // the per-user settings store
};

// The guide as HTML.
QString GuideHtml(const GuidePlaces& places);

// The guide in a window of its own that stays open beside the documents.
class GuideWindow : public QDialog {
 public:
  GuideWindow(const GuidePlaces& places, QWidget* parent = nullptr);
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

}  // namespace tessmol
