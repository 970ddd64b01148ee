// Pylonet: the splash, then the main window on the network client, with the
// shift log kept in the user's data folder.
#include "appinfo.h"
#include "archive.h"
#include "eventstable.h"
#include "frmlogin.h"
#include "frmsplash.h"
#include "main_window.h"
#include "netclient.h"
#include "protocol.h"
#include "shiftlog.h"
#include "trendtable.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QHostAddress>
#include <QSettings>
#include <cstdio>
#include <cstdlib>
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
    options.addOption({QStringLiteral("connect"),
                       QStringLiteral("Opens the connection dialog on the crate at <address> (port %1 unless given) "
                                      "with the stored user name; the password is asked.")
                           .arg(Protocol::DefaultPort),
                       QStringLiteral("address[:port]")});
}

// "10.0.0.7" or "10.0.0.7:7001": the address and the port, or a reason it is neither.
struct Target
{
    QString address;
    quint16 port = Protocol::DefaultPort;
    QString error;
};
Target parseTarget(const QString &text)
{
    Target t;
    const QStringList parts = text.split(QLatin1Char(':'));
    t.address = parts.value(0).trimmed();
    bool ok = true;
    if (parts.size() == 2) {
        const uint port = parts[1].toUInt(&ok);
        ok = ok && port > 0 && port < 65536;
        t.port = quint16(port);
    }
    if (parts.size() > 2 || !ok || !frmLogin::isValidAddress(t.address.split(QLatin1Char('.'))))
        t.error = QStringLiteral("--connect %1: not an address such as 127.0.0.1 or 127.0.0.1:47310 "
                                 "(four numbers from 0 to 254, then an optional port from 1 to 65535)").arg(text);
    return t;
}

// How long graph samples are kept in the archive: "Trends/RetentionDays" in the settings, 30 days by default (0: for ever).
int trendRetentionDays()
{
    bool ok = false;
    const int days = QSettings(AppInfo::organisation(), QStringLiteral("Pylonet"))
                         .value(QStringLiteral("Trends/RetentionDays"), TrendTable::DefaultRetentionDays)
                         .toInt(&ok);
    return ok && days >= 0 ? days : TrendTable::DefaultRetentionDays;
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
    if (options.isSet(QStringLiteral("connect"))) {
        const Target t = parseTarget(options.value(QStringLiteral("connect")));
        if (!t.error.isEmpty()) {
            fprintf(stderr, "%s\n", qPrintable(t.error));
            ::exit(2);
        }
    }
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
    archive.add(std::make_unique<TrendTable>(trendRetentionDays())); // every graph's samples
    archive.start();

    const Target target = parseTarget(options.value(QStringLiteral("connect")));
    auto client = std::make_unique<NetClient>(target.port);
    client->setTrust(std::move(trust));
    NetClient *net = client.get();
    Main w(std::move(client), &archive);
    w.restoreSavedGeometry();
    // The connection dialog asks; without it open, the main window.
    net->setTrustAsker([&w](const CrateTrust::Question &q) {
        QWidget *parent = w.loginDialog() ? static_cast<QWidget *>(w.loginDialog()) : &w;
        return frmLogin::confirmCertificate(parent, q.crate, q.fingerprint, q.trusted);
    });
    auto *splash = new frmSplash(w); // deletes itself when it hands over
    splash->show();
    splash->activateWindow(); // so a key press reaches it
    if (options.isSet(QStringLiteral("connect")))
        QObject::connect(splash, &QObject::destroyed, &w, [&w, address = target.address] { w.connectTo(address); });
    return app.exec();
}
