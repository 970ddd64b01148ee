// Pylonet: the splash, then the main window on the network client, with the
// shift log kept in the user's data folder.
#include "appinfo.h"
#include "archive.h"
#include "eventstable.h"
#include "frmlogin.h"
#include "frmsplash.h"
#include "main_window.h"
#include "netclient.h"
#include "shiftlog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QHostAddress>
#include <cstdio>
#include <memory>

namespace {
void describeOptions(QCommandLineParser &options)
{
    options.setApplicationDescription(AppInfo::description());
    // "-reverse" is Qt's option, not -r -e -v -e ...: single-dash words are whole options.
    options.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    options.addHelpOption();
    options.addVersionOption();
    options.addOption({QStringLiteral("require-encryption"),
                       QStringLiteral("Refuse every crate that does not encrypt its link (a site may set "
                                      "Pylonet/RequireEncryption=true instead).")});
    options.addOption({QStringLiteral("forget-crate"),
                       QStringLiteral("Forget the certificate trusted for the crate at ADDRESS (port %1 unless given as "
                                      "ADDRESS:PORT), after its certificate was replaced or its encryption turned off on purpose.")
                           .arg(Protocol::DefaultPort),
                       QStringLiteral("ADDRESS")});
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

    // The certificates trusted are kept beside the remembered address.
    auto trust = std::make_unique<CrateTrust>(AppInfo::organisation(), QStringLiteral("Pylonet"));
    trust->setRequiresEncryption(options.isSet(QStringLiteral("require-encryption")));
    for (const QString &crate : options.values(QStringLiteral("forget-crate"))) {
        const QStringList parts = crate.split(QLatin1Char(':'));
        const std::optional<quint32> ip = Protocol::parseAddress(parts.first());
        if (!ip || parts.size() > 2) {
            std::fprintf(stderr, "pylonet: --forget-crate wants ADDRESS or ADDRESS:PORT, not \"%s\"\n", qPrintable(crate));
            return 2;
        }
        const QString where = QStringLiteral("%1:%2").arg(QHostAddress(*ip).toString(),
                                                          parts.value(1, QString::number(Protocol::DefaultPort)));
        std::printf("%s\n", qPrintable(trust->forget(where) ? QStringLiteral("Forgot the certificate of the crate at %1").arg(where)
                                                            : QStringLiteral("No certificate was kept for the crate at %1").arg(where)));
    }

    // The shift log's database lives on its own thread, from before the main window to after it.
    Archive archive({Archive::defaultPath(), ShiftLog::retentionDays()});
    archive.add(std::make_unique<EventsTable>());
    archive.start();

    auto client = std::make_unique<NetClient>();
    client->setTrust(std::move(trust));
    NetClient *net = client.get();
    Main w(std::move(client), &archive);
    // The connection dialog asks; without it open, the main window.
    net->setTrustAsker([&w](const CrateTrust::Question &q) {
        QWidget *parent = w.loginDialog() ? static_cast<QWidget *>(w.loginDialog()) : &w;
        return frmLogin::confirmCertificate(parent, q.crate, q.fingerprint, q.trusted);
    });
    auto *splash = new frmSplash(w); // deletes itself when it hands over
    splash->show();
    splash->activateWindow(); // so a key press reaches it
    return app.exec();
}
