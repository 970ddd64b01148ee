// Pylonet: the splash, then the main window on the network client.
#include "appinfo.h"
#include "frmlogin.h"
#include "frmsplash.h"
#include "main_window.h"
#include "netclient.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QHostAddress>
#include <cstdio>
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
    const QCommandLineOption requireEncryption(
        QStringLiteral("require-encryption"),
        QStringLiteral("Refuse every crate that does not encrypt its link (a site may set Pylonet/RequireEncryption=true instead)."));
    const QCommandLineOption forgetCrate(
        QStringLiteral("forget-crate"),
        QStringLiteral("Forget the certificate trusted for the crate at ADDRESS (port %1 unless given as ADDRESS:PORT), "
                       "after its certificate was replaced or its encryption turned off on purpose.")
            .arg(Protocol::DefaultPort),
        QStringLiteral("ADDRESS"));
    options.addOptions({requireEncryption, forgetCrate});
    options.process(app);

    // The certificates trusted are kept beside the remembered address.
    auto trust = std::make_unique<CrateTrust>(AppInfo::organisation(), QStringLiteral("Pylonet"));
    trust->setRequiresEncryption(options.isSet(requireEncryption));
    for (const QString &crate : options.values(forgetCrate)) {
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
    auto client = std::make_unique<NetClient>();
    client->setTrust(std::move(trust));
    NetClient *net = client.get();
    Main w(std::move(client));
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
