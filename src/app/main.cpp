// tessmol: the desktop program. One main window; each document in a window of its own
// with the analysis list, the protein summary, the chart and the residue table.
#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <cstdlib>
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
    "  --spanner3d auto|window|segments|slab\n"
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

// A run that saves a picture and quits has nobody to close a message box: messages go to
// stderr instead, and a box would stop the run before the picture is taken.
class UnattendedDialogs : public tessmol::QtDialogService {
 public:
  void Message(QWidget*, const QString& text) override {
    std::cerr << text.toStdString() << std::endl;
    errors += text.startsWith(QLatin1String("Error"));
  }
  int errors = 0;  // the run's status says whether any was reported
};

struct DesktopOptions {
  QStringList files;
  QString screenshot;  // --screenshot FILE.png
  QString spanner3d;   // --spanner3d METHOD
};

// The options after Qt has taken its own (-platform and the like). A misspelt option or a
// method that does not exist is refused, as tessmol-cli refuses it, rather than opened as
// a file or run as the default.
std::optional<DesktopOptions> ParseOptions(const QStringList& arguments) {
  DesktopOptions options;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (arg == QLatin1String("--screenshot") || arg == QLatin1String("--spanner3d")) {
      if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty() ||
          arguments[i + 1].startsWith(QLatin1String("--"))) {
        std::cerr << "Error: " << arg.toStdString() << " needs a value (tessmol --help)\n";
        return std::nullopt;
      }
      (arg == QLatin1String("--screenshot") ? options.screenshot : options.spanner3d) = arguments[++i];
      continue;
    }
    if (arg.startsWith(QLatin1String("--"))) {
      std::cerr << "Error: unknown option " << arg.toStdString() << " (tessmol --help)\n";
      return std::nullopt;
    }
    options.files.push_back(arg);
  }
  static const QStringList methods = {QStringLiteral("auto"), QStringLiteral("window"),
                                      QStringLiteral("segments"), QStringLiteral("slab")};
  if (!options.spanner3d.isEmpty() && !methods.contains(options.spanner3d)) {
    std::cerr << "Error: --spanner3d " << options.spanner3d.toStdString()
              << ": the method is one of auto, window, segments, slab\n";
    return std::nullopt;
  }
  return options;
}

// The arguments without the options QGuiApplication and QApplication take for themselves
// (with one dash or two, and their values), as QApplication::arguments() will give them:
// the program's own can be checked before a window system is asked for, which aborts the
// program where there is none.
QStringList WithoutQtOptions(int argc, char** argv) {
  static const QStringList withValue = {
      QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
      QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
      QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
      QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
      QStringLiteral("style"),           QStringLiteral("stylesheet"),
      QStringLiteral("display"),         QStringLiteral("geometry"),
      QStringLiteral("title"),           QStringLiteral("name"),
      QStringLiteral("qmljsdebugger")};
  static const QStringList alone = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                    QStringLiteral("sync"), QStringLiteral("nograb"),
                                    QStringLiteral("dograb")};
  QStringList arguments;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    QString name = arg.startsWith(QLatin1String("--")) ? arg.mid(2)
                   : arg.startsWith(QLatin1Char('-'))  ? arg.mid(1)
                                                       : QString();
    const bool inline_ = name.contains(QLatin1Char('='));
    name = name.section(QLatin1Char('='), 0, 0);
    if (withValue.contains(name)) {
      if (!inline_) ++i;
      continue;
    }
    if (alone.contains(name)) continue;
    arguments.push_back(arg);
  }
  return arguments;
}

// Whether Qt has a window system to start: a platform named (QT_QPA_PLATFORM, -platform)
// or a display to connect to. Without one Qt aborts the program.
bool WindowSystemNamed(int argc, char** argv) {
  for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return true;
  }
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-platform" || arg == "--platform" || arg.rfind("-platform=", 0) == 0 ||
        arg.rfind("--platform=", 0) == 0)
      return true;
  }
  return false;
}

int Run(int argc, char** argv) {
  if (const std::optional<int> answered = AnswerInformationOptions(argc, argv)) return *answered;
  if (!ParseOptions(WithoutQtOptions(argc, argv))) return 2;
  if (!WindowSystemNamed(argc, argv)) {
    std::cerr << "Error: no display to draw on: set DISPLAY, run under xvfb-run, or set "
                 "QT_QPA_PLATFORM=offscreen\n";
    return 1;
  }
  Application application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessmol"));
  QApplication::setOrganizationName(QString::fromLatin1(tessmol::kSettingsKey));
  const std::optional<DesktopOptions> parsed = ParseOptions(QApplication::arguments().mid(1));
  if (!parsed) return 2;
  const QStringList& files = parsed->files;
  // --screenshot FILE.png: save a picture of the main window once it is drawn, then quit.
  const QString& screenshot = parsed->screenshot;
  // --spanner3d auto|window|segments|slab: run Spanner3D on each structure named, so that a
  // picture shows its domains (and with slab the membrane) without a click.
  const QString& spanner3d = parsed->spanner3d;
  tessmol::ProcessState state(QApplication::applicationDirPath().toStdString());
  tessmol::QtDialogService interactive;
  UnattendedDialogs unattended;
  tessmol::QtDialogService& dialogs =
      screenshot.isEmpty() ? interactive : static_cast<tessmol::QtDialogService&>(unattended);
  tessmol::CMainFrame frame(state, dialogs);
  frame.showMaximized();
  if (files.isEmpty()) {
    frame.NewDocument();
  } else {
    // A structure named on the command line opens in a document window of its own.
    for (const QString& file : files) {
      tessmol::CChildFrame* child = frame.NewDocument();
      if (!child->OpenPath(file)) {
        dialogs.Message(child, QStringLiteral("Error: no atoms could be read from %1").arg(file));
        continue;
      }
      if (spanner3d.isEmpty()) continue;
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
    QTimer::singleShot(1500, &frame, [&frame, &unattended, screenshot]() {
      // A run that failed leaves no picture of an empty window (nor replaces an older one).
      if (unattended.errors > 0) {
        QApplication::exit(1);
        return;
      }
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
