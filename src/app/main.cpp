// tessmol: the desktop program. One main window; each document in a window of its own
// with the analysis list, the protein summary, the chart and the residue table.
#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <exception>
#include <iostream>
#include <optional>
#include <string_view>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "base/file_status.h"
#include "base/version.h"
#include "document/process_state.h"
#include "views/dialog_service.h"

namespace {

// A failure nothing else caught: said on stderr and, where a screen shows it, in a box.
void ReportUnexpected(const std::string& what) {
  std::cerr << "Error: " << what << std::endl;
  if (QApplication::instance() != nullptr && QGuiApplication::platformName() != QLatin1String("offscreen")) {
    QMessageBox::critical(nullptr, QStringLiteral("Tessmol"),
                          QStringLiteral("Tessmol must close: %1").arg(QString::fromLocal8Bit(what.c_str())));
  }
}

// An exception thrown while handling an event must not unwind through Qt's event loop:
// it is reported here and the program ends with status 1.
class Application : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      ReportUnexpected(error.what());
    } catch (...) {
      ReportUnexpected("an unexpected failure");
    }
    QApplication::exit(1);
    return false;
  }
};

// --version and --help are answered before any window system is asked for, so they work
// over ssh and in scripts.
constexpr const char* kUsage =
    "Usage: tessmol [OPTIONS] [FILE...]\n"
    "\n"
    "The Tessmol desktop program: scores protein structures residue by residue (3D-1D\n"
    "profiles and KAVELIN) and predicts transmembrane helices (Spanner3D, Spanner2D).\n"
    "Each FILE (PDB or mmCIF, plain or gzip-compressed, or a .tsm result file) opens in a\n"
    "document window of its own; without one, an empty document opens.\n"
    "\n"
    "Options:\n"
    "  -h, --help                 Print this help and exit\n"
    "  --version                  Print the version and exit\n"
    "  --spanner3d window|segments|slab\n"
    "                             Run Spanner3D with that method on each FILE\n"
    "  --screenshot FILE.png      Save a picture of the main window once drawn, then quit\n"
    "\n"
    "Help > Tessmol Guide in the program explains the scores and methods and where files go.\n"
    "The command-line program for scripts is tessmol-cli.\n";

std::optional<int> AnswerInformationOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version") {
      std::cout << "tessmol " << tessmol::kVersion << '\n';
      return 0;
    }
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
  }
  return std::nullopt;
}

int Run(int argc, char** argv) {
  if (const std::optional<int> answered = AnswerInformationOptions(argc, argv)) return *answered;
  Application application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessmol"));
  QApplication::setOrganizationName(QString::fromLatin1(tessmol::kSettingsKey));
  tessmol::ProcessState state(QApplication::applicationDirPath().toStdString());
  tessmol::QtDialogService dialogs;
  tessmol::CMainFrame frame(state, dialogs);
  QStringList files = QApplication::arguments().mid(1);
  // --screenshot FILE.png: save a picture of the main window once it is drawn, then quit.
  QString screenshot;
  const qsizetype option = files.indexOf(QStringLiteral("--screenshot"));
  if (option >= 0 && option + 1 < files.size()) {
    screenshot = files[option + 1];
    files.remove(option, 2);
  }
  // --spanner3d auto|window|segments|slab: run Spanner3D on each structure named, so that a
  // picture shows its domains (and with slab the membrane) without a click.
  QString spanner3d;
  const qsizetype method = files.indexOf(QStringLiteral("--spanner3d"));
  if (method >= 0 && method + 1 < files.size()) {
    spanner3d = files[method + 1];
    files.remove(method, 2);
  }
  frame.showMaximized();
  if (files.isEmpty()) {
    frame.NewDocument();
  } else {
    // A structure named on the command line opens in a document window of its own.
    for (const QString& file : files) {
      tessmol::CChildFrame* child = frame.OpenInNewDocument(file);
      if (child == nullptr || spanner3d.isEmpty()) continue;
      if (spanner3d == QLatin1String("slab")) {
        child->OnSpanner3DSlab();
        continue;
      }
      tessmol::AnalysisSettings settings = child->doc().settings();
      settings.tmMethod = spanner3d == QLatin1String("slab")       ? tessmol::TmMethod::kSlab
                          : spanner3d == QLatin1String("segments") ? tessmol::TmMethod::kSegments
                          : spanner3d == QLatin1String("window")   ? tessmol::TmMethod::kWindow
                                                                   : tessmol::TmMethod::kSlabElseSegments;
      child->doc().SetSettings(settings);
      child->OnSpanner3D();
    }
  }
  if (!screenshot.isEmpty()) {
    QTimer::singleShot(1500, &frame, [&frame, screenshot]() {
      // Drawn in memory in the format its name asks for, then written by the one safe writer.
      QByteArray bytes;
      QBuffer buffer(&bytes);
      const QByteArray format = QFileInfo(screenshot).suffix().toUpper().toLatin1();
      bool saved = buffer.open(QIODevice::WriteOnly) &&
                   frame.grab().save(&buffer, format.isEmpty() ? "PNG" : format.constData());
      const tessmol::FileStatus written =
          saved
              ? tessmol::WriteBytesAtomically(
                    screenshot.toStdString(),
                    std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))
              : tessmol::FileStatus::WriteFailed(screenshot.toStdString(), "the picture could not be drawn");
      if (!written) qWarning("%s", written.Describe().c_str());
      QApplication::exit(written ? 0 : 1);
    });
  }
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    ReportUnexpected(error.what());
  } catch (...) {
    ReportUnexpected("an unexpected failure");
  }
  return 1;
}
