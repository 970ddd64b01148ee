#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>

class Main;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The connection dialog: crate address in four boxes, user name and password.
// One instance for the whole run; it hides when done and keeps what was typed.
class frmLogin : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char *DefaultAddress = "127.0.0.1"; // used when nothing usable is stored
    static constexpr const char *DefaultAccount = "wxqv";      // default user name and password

    explicit frmLogin(Main &main);

    // OK: check the address, log in, remember the address and connect the main window.
    void cmdOKClick();
    // Cancel: hide; the main window stays as it is.
    void cmdCancelClick();

    // Each part a number from 0 to 254.
    static bool isValidAddress(const QStringList &parts);
    // The remembered address split into four parts, or the default one.
    static QStringList storedAddress();

    QString address() const; // the four boxes joined with "."

    // Crates connected to before, the latest first (at most MaxRecent), and the user name last used.
    static constexpr int MaxRecent = 8;
    static QStringList recentAddresses();
    static QString storedUser();
    // The dialog on this address and the stored user, the password box empty and focused.
    void prefill(const QString &address);
    // Asks whether to trust the certificate of the crate ("address:port") with
    // this SHA-256 fingerprint: at the first encrypted connection to it (trusted
    // empty), or when it shows another than the one trusted before. No is the default.
    static bool confirmCertificate(QWidget *parent, const QString &crate, const QString &fingerprint,
                                   const QString &trusted);

protected:
    void reject() override;

private:
    void remember(const QString &addr); // address, user and the recent crates, after a login
    std::array<QLineEdit *, 4> eIP{};       // the address parts, left to right
    QLineEdit *txtUserName = nullptr;       // user name
    QLineEdit *txtPassword = nullptr;       // password, echoed as '*'
    QComboBox *cboRecent = nullptr;         // crates connected to before; choosing one fills the address
    QPushButton *cmdOK = nullptr;           // default button
    QPushButton *cmdCancel = nullptr;       // answers Esc
    Main &m_main;                           // the window this dialog connects
};
