// Pylonet: the splash, then the main window on the network client.
#include "appinfo.h"
#include "frmsplash.h"
#include "main_window.h"
#include "netclient.h"

#include <QApplication>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(AppInfo::icon());

    Main w(std::make_unique<NetClient>());
    auto *splash = new frmSplash(w); // deletes itself when it hands over
    splash->show();
    splash->activateWindow(); // so a key press reaches it
    return app.exec();
}
