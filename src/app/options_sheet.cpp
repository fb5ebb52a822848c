#include "app/options_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <filesystem>
#include <map>
#include <vector>

#include "base/text.h"

namespace tessmol {

GeneralOpts::GeneralOpts(DialogService& dialogs, const AnalysisSettings& values, QWidget* parent)
    : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("Working Directory:"), this));
  directory_ = new QLineEdit(QString::fromStdString(values.workingDirectory), this);
  row->addWidget(directory_, 1);
  auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
  row->addWidget(browse);
  layout->addLayout(row);
  ignoreHet_ = new QCheckBox(QStringLiteral("Ignore HeteroAtoms"), this);
  ignoreHet_->setChecked(values.ignoreHeteroAtoms);
  layout->addWidget(ignoreHet_);
  auto* group = new QGroupBox(QStringLiteral("Solvent Accessible Surface Area (SASA) resolution"), this);
  auto* groupLayout = new QVBoxLayout(group);
  resolution_ = new QButtonGroup(this);
  const char* labels[6] = {"Very Low - 92 points per atom",   "Low - 162 points per atom",
                           "Medium - 252 points per atom",    "High - 392 points per atom",
                           "Very High - 482 points per atom", "Ultra High - 1002 points per atom"};
  for (int i = 0; i < 6; ++i) {
    auto* button = new QRadioButton(QString::fromLatin1(labels[i]), group);
    resolution_->addButton(button, i);
    groupLayout->addWidget(button);
  }
  if (QAbstractButton* chosen = resolution_->button(values.sasaResolution)) chosen->setChecked(true);
  layout->addWidget(group);
  // In the order of SecondaryStructureSource.
  auto* secondaryRow = new QHBoxLayout;
  secondaryRow->addWidget(new QLabel(QStringLiteral("Secondary structure:"), this));
  secondary_ = new QComboBox(this);
  secondary_->addItems({QStringLiteral("From the file's HELIX/SHEET records, else from coordinates"),
                        QStringLiteral("Always from coordinates"),
                        QStringLiteral("Only from the file's records")});
  secondary_->setCurrentIndex(static_cast<int>(values.secondaryStructure));
  secondaryRow->addWidget(secondary_, 1);
  layout->addLayout(secondaryRow);
  layout->addStretch();
  connect(browse, &QPushButton::clicked, this, [this, &dialogs]() {
    if (auto folder = dialogs.ChooseFolder(this, QStringLiteral("Working Directory"), directory_->text())) {
      directory_->setText(*folder);
    }
  });
}

void GeneralOpts::Apply(AnalysisSettings& values) const {
  values.workingDirectory = directory_->text().toStdString();
  values.ignoreHeteroAtoms = ignoreHet_->isChecked();
  // The finest set (2562 points) has no button here; a setting that holds it is kept.
  if (resolution_->checkedId() >= 0) values.sasaResolution = resolution_->checkedId();
  values.secondaryStructure = static_cast<SecondaryStructureSource>(std::max(0, secondary_->currentIndex()));
}

namespace {

QString Number(double value) {
  return QString::fromStdString(FormatNumber(value));
}

}  // namespace

namespace {

// The edit controls on each row of the page's grid.
const std::map<int, std::vector<int>> kFieldsOfRow = {{0, {1049}},       {1, {1051}},       {2, {1050}},
                                                      {3, {1052}},       {5, {1053, 1054}}, {6, {1055, 1056}},
                                                      {7, {1057, 1058}}, {8, {1059, 1060}}};

}  // namespace

Spanner2DParam::Spanner2DParam(const AnalysisSettings& settings, QWidget* parent) : QWidget(parent) {
  const ScanParams& v = settings.spanner2DParams;
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("min"), this), 4, 1);
  grid->addWidget(new QLabel(QStringLiteral("max"), this), 4, 2);
  auto makeField = [&](int id, double value, int row, int column) {
    auto* edit = new QLineEdit(Number(value), this);
    edit->setFixedWidth(80);
    edit->setObjectName(QStringLiteral("field%1").arg(id));
    fields_[static_cast<size_t>(id - 1049)] = edit;
    grid->addWidget(edit, row, column);
  };
  auto label = [&](const char* text, int row) {
    grid->addWidget(new QLabel(QString::fromLatin1(text), this), row, 0);
    // The fields of this row take its label's name for their messages.
    if (const auto fields = kFieldsOfRow.find(row); fields != kFieldsOfRow.end()) {
      for (int id : fields->second) labels_[id] = QString::fromLatin1(text);
    }
  };
  label("Minimum Area difference...............", 0);
  makeField(1049, v.minAreaDifference, 0, 1);
  label("Moving Average...........................", 1);
  makeField(1051, v.movingAverage, 1, 1);
  label("Minimum Difference......................", 2);
  makeField(1050, v.minDifference, 2, 1);
  label("Minimum ave. SASA per residue....", 3);
  makeField(1052, v.minAveSASA, 3, 1);
  label("Transmembrane Length.................", 5);
  makeField(1053, v.tmLengthMin, 5, 1);
  makeField(1054, v.tmLengthMax, 5, 2);
  label("Ave KAVELIN score range..............", 6);
  makeField(1055, v.kavelinMin, 6, 1);
  makeField(1056, v.kavelinMax, 6, 2);
  label("Ave. 3D-Profiles score range..........", 7);
  makeField(1057, v.profilesMin, 7, 1);
  makeField(1058, v.profilesMax, 7, 2);
  label("Transmem length/area Difference..", 8);
  makeField(1059, v.lengthAreaMin, 8, 1);
  makeField(1060, v.lengthAreaMax, 8, 2);
  auto* reference = new QGroupBox(QStringLiteral("Reference"), this);
  auto* note =
      new QLabel(QStringLiteral("Defaults chosen on alpha-helical membrane proteins of known structure: "
                                "KAVELIN scores clearly above 3D-profile scores over 12 to 40 residues."),
                 reference);
  note->setWordWrap(true);
  (new QVBoxLayout(reference))->addWidget(note);
  grid->addWidget(reference, 0, 3, 4, 1);
  grid->addWidget(new QLabel(QStringLiteral("Method"), this), 9, 0);
  method_ = new QComboBox(this);
  method_->setObjectName(QStringLiteral("method"));
  // Each item carries its TmMethod. The slab alone needs a structure, so it is no choice for
  // Spanner2D: Spanner3D offers it as a command of its own (Tools > Spanner3D Membrane Slab).
  method_->addItem(QStringLiteral("Window scan of helix models (the fields above)"),
                   static_cast<int>(TmMethod::kWindow));
  method_->addItem(QStringLiteral("Segments: exact segmentation of a fitted membrane score"),
                   static_cast<int>(TmMethod::kSegments));
  method_->addItem(
      QStringLiteral("Slab where a membrane is placed, else segments (Spanner3D; Spanner2D: segments)"),
      static_cast<int>(TmMethod::kSlabElseSegments));
  method_->setToolTip(
      QStringLiteral("How Spanner2D and Spanner3D find transmembrane segments. To place the membrane "
                     "slab alone on a structure, use Tools > Spanner3D Membrane Slab."));
  const TmMethod shown =
      settings.tmMethod == TmMethod::kSlab ? TmMethod::kSlabElseSegments : settings.tmMethod;
  method_->setCurrentIndex(std::max(0, method_->findData(static_cast<int>(shown))));
  grid->addWidget(method_, 9, 1, 1, 3);
  grid->setRowStretch(10, 1);
}

bool Spanner2DParam::Read(AnalysisSettings& out, QString& error) {
  AnalysisSettings settings = out;
  ScanParams& v = settings.spanner2DParams;
  const QLocale c = QLocale::c();
  auto refuse = [&](int id, const QString& why) {
    error = why;
    field(id)->setFocus();
    return false;
  };
  // Messages name the field by its label on the page.
  auto label = [&](int id) {
    QString text = labels_.value(id);
    while (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text + QStringLiteral(": ");
  };
  auto readFloat = [&](int id, float& target) {
    bool ok = false;
    target = c.toFloat(field(id)->text().trimmed(), &ok);
    return ok || refuse(id, label(id) + QStringLiteral("Please enter a number."));
  };
  auto readUnsigned = [&](int id, uint32_t& target) {
    bool ok = false;
    target = c.toUInt(field(id)->text().trimmed(), &ok);
    return ok || refuse(id, label(id) + QStringLiteral("Please enter a whole number of 0 or more."));
  };
  // The ranges are checked as soon as their fields are read, in the page's order, before
  // the later fields are.
  auto checkRanges = [&]() {
    const auto problem = settings.Validate();
    if (!problem) return true;
    static const std::map<std::string, int> kFieldIds = {{"movingAverage", 1051},
                                                         {"tmLengthMin", 1053},
                                                         {"kavelinMin", 1055},
                                                         {"profilesMin", 1057},
                                                         {"lengthAreaMin", 1059}};
    const auto found = kFieldIds.find(problem->field);
    const int id = found != kFieldIds.end() ? found->second : 1049;
    return refuse(id, QString::fromStdString(problem->message));
  };
  const bool ok = readFloat(1049, v.minAreaDifference) && readUnsigned(1051, v.movingAverage) &&
                  checkRanges() && readFloat(1052, v.minAveSASA) && readUnsigned(1053, v.tmLengthMin) &&
                  readUnsigned(1054, v.tmLengthMax) && checkRanges() && readFloat(1055, v.kavelinMin) &&
                  readFloat(1056, v.kavelinMax) && readFloat(1057, v.profilesMin) &&
                  readFloat(1058, v.profilesMax) && readFloat(1059, v.lengthAreaMin) &&
                  readFloat(1060, v.lengthAreaMax) && checkRanges() && readFloat(1050, v.minDifference);
  settings.tmMethod = static_cast<TmMethod>(method_->currentData().toInt());
  if (ok) out = settings;
  return ok;
}

OptionsSheet::OptionsSheet(DialogService& dialogs, const AnalysisSettings& settings, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), settings_(settings) {
  setWindowTitle(QStringLiteral("Tessmol"));
  // The folder result files go to; the current folder until one is chosen.
  if (settings_.workingDirectory.empty())
    settings_.workingDirectory = std::filesystem::current_path().string();
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  general_ = new GeneralOpts(dialogs, settings_, tabs_);
  spanner_ = new Spanner2DParam(settings_, tabs_);
  tabs_->addTab(general_, QStringLiteral("General"));
  tabs_->addTab(spanner_, QStringLiteral("Spanner 2D"));
  layout->addWidget(tabs_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsSheet::OnOk);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void OptionsSheet::OnOk() {
  AnalysisSettings edited = settings_;
  QString error;
  if (!spanner_->Read(edited, error)) {
    tabs_->setCurrentWidget(spanner_);
    dialogs_.Message(this, error);
    return;  // the sheet stays open
  }
  general_->Apply(edited);
  if (const auto problem = edited.Validate(); problem && problem->field == "out-dir") {
    tabs_->setCurrentWidget(general_);
    dialogs_.Message(this, QString::fromStdString(problem->message));
    return;
  }
  settings_ = edited;
  accept();
}

}  // namespace tessmol
