// Pylonet: the splash, then the main window on the network client.
#include "appinfo.h"
#include "frmsplash.h"
#include "main_window.h"
#include "netclient.h"

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

    Main w(std::make_unique<NetClient>());
    auto *splash = new frmSplash(w); // deletes itself when it hands over
    splash->show();
    splash->activateWindow(); // so a key press reaches it
    return app.exec();
}
