// The options sheet "Tessmol": the "General" page (working directory, heteroatoms, surface
// resolution) and the "Spanner 2D" page (the twelve scan parameters). The values live in
// the document; the sheet edits a copy, checked with AnalysisSettings::Validate, which the
// caller hands back to the document when the sheet is accepted.
#pragma once

#include <QDialog>
#include <QMap>
#include <array>

#include "document/tessmol_doc.h"
#include "views/dialog_service.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QTabWidget;

namespace tessmol {

class GeneralOpts : public QWidget {
 public:
  GeneralOpts(DialogService& dialogs, const AnalysisSettings& values, QWidget* parent = nullptr);
  // The page's three values into `values`.
  void Apply(AnalysisSettings& values) const;
  QLineEdit* directoryEdit() const { return directory_; }
  QCheckBox* ignoreHetBox() const { return ignoreHet_; }
  QButtonGroup* resolutionGroup() const { return resolution_; }
  QComboBox* secondaryStructureBox() const { return secondary_; }

 private:
  QLineEdit* directory_;
  QCheckBox* ignoreHet_;
  QButtonGroup* resolution_;
  QComboBox* secondary_;
};

class Spanner2DParam : public QWidget {
 public:
  Spanner2DParam(const AnalysisSettings& values, QWidget* parent = nullptr);
  // Reads the fields into `values` in the page's order, each checked as it is read (the
  // ranges by AnalysisSettings::Validate). On the first bad field: false, `error` says
  // why, and that field has the focus.
  bool Read(AnalysisSettings& values, QString& error);
  // Fields by the edit control numbers 1049 to 1060.
  QLineEdit* field(int controlId) const { return fields_.at(static_cast<size_t>(controlId - 1049)); }
  // Window scan (the twelve fields) or segments.
  QComboBox* methodBox() const { return method_; }

 private:
  std::array<QLineEdit*, 12> fields_{};
  QComboBox* method_ = nullptr;
  QMap<int, QString> labels_;  // each field's label, for its messages
};

class OptionsSheet : public QDialog {
 public:
  // The Working Directory shown is the settings' folder for result files, else the
  // current folder.
  OptionsSheet(DialogService& dialogs, const AnalysisSettings& settings, QWidget* parent = nullptr);
  GeneralOpts* general() const { return general_; }
  Spanner2DParam* spanner() const { return spanner_; }
  QTabWidget* tabs() const { return tabs_; }
  // OK: every page's fields into the copy, unless a field is refused.
  void OnOk();
  const AnalysisSettings& settings() const { return settings_; }

 private:
  DialogService& dialogs_;
  AnalysisSettings settings_;
  QTabWidget* tabs_;
  GeneralOpts* general_;
  Spanner2DParam* spanner_;
};

}  // namespace tessmol
