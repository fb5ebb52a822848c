// tessmol: the desktop program. One main window; each document in a window of its own
// with the analysis list, the protein summary, the chart and the residue table.
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "app/main_frame.h"
#include "document/process_state.h"
#include "views/dialog_service.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
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
  frame.showMaximized();
  if (files.isEmpty()) {
    frame.NewDocument();
  } else {
    // A structure named on the command line opens in a document window of its own.
    for (const QString& file : files) frame.OpenInNewDocument(file);
  }
  if (!screenshot.isEmpty()) {
    QTimer::singleShot(1500, &frame, [&frame, screenshot]() {
      const bool saved = frame.grab().save(screenshot);
      QApplication::exit(saved ? 0 : 1);
    });
  }
  return QApplication::exec();
}
