// Pylonet: the splash, then the main window on the network client, with the
// shift log kept in the user's data folder.
#include "appinfo.h"
#include "archive.h"
#include "eventstable.h"
#include "frmsplash.h"
#include "main_window.h"
#include "netclient.h"
#include "shiftlog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    AppInfo::registerWithQt();
    QApplication::setWindowIcon(AppInfo::icon());

    // --help and --version; Qt's own options (-platform, ...) are taken by QApplication.
    QCommandLineParser options;
    options.setApplicationDescription(AppInfo::description());
    options.addHelpOption();
    options.addVersionOption();
    options.process(app);

    // The shift log's database lives on its own thread, from before the main window to after it.
    Archive archive({Archive::defaultPath(), ShiftLog::retentionDays()});
    archive.add(std::make_unique<EventsTable>());
    archive.start();

    Main w(std::make_unique<NetClient>(), &archive);
    auto *splash = new frmSplash(w); // deletes itself when it hands over
    splash->show();
    splash->activateWindow(); // so a key press reaches it
    return app.exec();
}
