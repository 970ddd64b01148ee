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

namespace {
void describeOptions(QCommandLineParser &options)
{
    options.setApplicationDescription(AppInfo::description());
    // "-reverse" is Qt's option, not -r -e -v -e ...: single-dash words are whole options.
    options.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    options.addHelpOption();
    options.addVersionOption();
}

// --help and --version answer before any window system is needed, so they work
// anywhere (over ssh, in a script, on a machine without a display). Qt's own
// options (-platform, -style, ...) are only known to QApplication: they are
// not refused here.
void answerWithoutDisplay(int &argc, char **argv)
{
    const QCoreApplication core(argc, argv);
    AppInfo::registerWithQt();
    QCommandLineParser options;
    describeOptions(options);
    options.parse(QCoreApplication::arguments());
    if (options.isSet(QStringLiteral("help")))
        options.showHelp(); // exits
    if (options.isSet(QStringLiteral("version")))
        options.showVersion(); // exits
}
} // namespace

int main(int argc, char **argv)
{
    answerWithoutDisplay(argc, argv);

    QApplication app(argc, argv);
    AppInfo::registerWithQt();
    QApplication::setWindowIcon(AppInfo::icon());
    // Anything left that neither Qt nor Pylonet knows is refused here, with the usage.
    QCommandLineParser options;
    describeOptions(options);
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
