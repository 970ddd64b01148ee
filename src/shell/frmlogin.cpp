#include "frmlogin.h"

#include "appinfo.h"
#include "hverror.h"
#include "hvpowersupply.h"
#include "main_window.h"
#include "msgbox.h"
#include "readplan.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScopeGuard>
#include <QSettings>

namespace {
// The per-user settings store of the program; it keeps one value, the last good address.
const QString SettingsOrganization = AppInfo::organisation();
const QString SettingsApplication = QStringLiteral("Pylonet");
const QString AddressKey = QStringLiteral("Pylonet/IPAddress");
const QString RecentKey = QStringLiteral("Pylonet/RecentCrates");
const QString UserKey = QStringLiteral("Pylonet/UserName");

// One part of the address: up to three digits, nothing else. Its text is
// selected whenever it is entered, so typing replaces it, and "." (or the ","
// some keypads type for it) moves on to the next part: "10.1.2.3" is typed as
// it reads. (A validator rather than an input mask: a mask shows its unfilled
// places, "0__", and puts the cursor where nothing more can be typed.)
class AddressBox : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;
    QLineEdit *next = nullptr; // the part to the right; none for the last

protected:
    void focusInEvent(QFocusEvent *e) override
    {
        QLineEdit::focusInEvent(e);
        if (e->reason() == Qt::MouseFocusReason) // after the click has placed the cursor
            QMetaObject::invokeMethod(this, &QLineEdit::selectAll, Qt::QueuedConnection);
        else
            selectAll();
    }
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->text() == QLatin1String(".") || e->text() == QLatin1String(",")) {
            if (next)
                next->setFocus(Qt::TabFocusReason);
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
};
} // namespace

frmLogin::frmLogin(Main &main) : QDialog(&main), m_main(main)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("Connect to ..."));

    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    // Alt+U, Alt+P and Alt+I go to the box each caption names.
    const QStringList captions{QStringLiteral("&User Name:"), QStringLiteral("&Password:"), QStringLiteral("&IP Address:")};
    std::array<QLabel *, 3> labels{};
    for (int i = 0; i < 3; ++i) {
        auto *l = new QLabel(captions[i], this);
        l->setObjectName(QStringLiteral("lblLabels_%1").arg(i));
        grid->addWidget(l, i == 2 ? 0 : i + 1, 0);
        labels[i] = l;
    }

    auto *ipRow = new QHBoxLayout;
    ipRow->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        auto *e = new AddressBox(this);
        if (i > 0)
            static_cast<AddressBox *>(eIP[i - 1])->next = e;
        e->setObjectName(QStringLiteral("eIP_%1").arg(i));
        e->setAccessibleName(QStringLiteral("IP Address, part %1 of 4").arg(i + 1));
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), e));
        e->setMaxLength(3);
        e->setAlignment(Qt::AlignCenter);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 14);
        ipRow->addWidget(e);
        eIP[i] = e;
        if (i < 3) {
            auto *dot = new QLabel(QStringLiteral("."), this);
            dot->setObjectName(QStringLiteral("lblPunto_%1").arg(i));
            ipRow->addWidget(dot);
        }
    }
    cboRecent = new QComboBox(this);
    cboRecent->setObjectName(QStringLiteral("cboRecent"));
    cboRecent->setAccessibleName(QStringLiteral("Recent crates"));
    cboRecent->setToolTip(QStringLiteral("Crates connected to before: choosing one fills in its address"));
    cboRecent->addItem(QStringLiteral("Recent..."));
    cboRecent->addItems(recentAddresses());
    cboRecent->setVisible(cboRecent->count() > 1);
    connect(cboRecent, &QComboBox::activated, this, [this](int index) {
        if (index > 0)
            prefill(cboRecent->itemText(index));
        cboRecent->setCurrentIndex(0);
    });
    ipRow->addSpacing(8);
    ipRow->addWidget(cboRecent);
    ipRow->addStretch(1);
    grid->addLayout(ipRow, 0, 1);

    txtUserName = new QLineEdit(this);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    grid->addWidget(txtUserName, 1, 1);
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    // The echo character is the style's choice unless fixed here; 42 is '*'.
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    grid->addWidget(txtPassword, 2, 1);
    labels[0]->setBuddy(txtUserName);
    labels[1]->setBuddy(txtPassword);
    labels[2]->setBuddy(eIP[0]);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 3, 0, 1, 2);

    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancelClick);

    // Load: runs once, when the dialog is made at the first "&Connect".
    txtUserName->setText(storedUser());
    txtPassword->setText(QString::fromLatin1(DefaultAccount));
    const QStringList parts = storedAddress();
    for (int i = 0; i < 4; ++i)
        eIP[i]->setText(parts[i]);
    setFixedSize(sizeHint());
}

QStringList frmLogin::recentAddresses()
{
    QStringList out;
    const QStringList stored = QSettings(SettingsOrganization, SettingsApplication).value(RecentKey).toStringList();
    for (const QString &a : stored) // what is not an address is no crate to offer
        if (isValidAddress(a.split(QLatin1Char('.'))) && !out.contains(a))
            out << a;
    return out.mid(0, MaxRecent);
}

QString frmLogin::storedUser()
{
    const QString user = QSettings(SettingsOrganization, SettingsApplication).value(UserKey).toString();
    return user.isEmpty() ? QString::fromLatin1(DefaultAccount) : user;
}

void frmLogin::prefill(const QString &address)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i)
        eIP[i]->setText(parts.value(i));
    txtUserName->setText(storedUser());
    txtPassword->clear();
    txtPassword->setFocus(Qt::OtherFocusReason);
}

QStringList frmLogin::storedAddress()
{
    const QSettings settings(SettingsOrganization, SettingsApplication);
    const QString value = settings.value(AddressKey, QString::fromLatin1(DefaultAddress)).toString();
    const QStringList parts = value.split(QLatin1Char('.'));
    // A value that cannot fill the four boxes is not an address: use the default.
    if (parts.size() < 4)
        return QString::fromLatin1(DefaultAddress).split(QLatin1Char('.'));
    return parts.mid(0, 4);
}

bool frmLogin::isValidAddress(const QStringList &parts)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (parts.size() != 4)
        return false;
    for (const QString &p : parts) {
        const QString t = p.trimmed();
        if (!digits.match(t).hasMatch() || t.toInt() > 254)
            return false;
    }
    return true;
}

QString frmLogin::address() const
{
    QStringList parts;
    for (const QLineEdit *e : eIP)
        parts << e->text();
    return parts.join(QLatin1Char('.'));
}

void frmLogin::cmdOKClick()
{
    // The boxes take digits only, so the parts split back exactly.
    const QString addr = address();
    if (!isValidAddress(addr.split(QLatin1Char('.')))) {
        MsgBox::show(this, QStringLiteral("IP Address"), QStringLiteral("IP Address not valid."), QMessageBox::Warning);
        return;
    }

    // After the login, one exchange (sent with the login's last step) so the screen goes
    // on meanwhile: the crate's slot count and model, then the first poll's reads, whose
    // answers caption the slots.
    auto plan = std::make_shared<ReadPlan>(this);
    auto slotCount = std::make_shared<int>(0);
    plan->querySlots(PlanStep::SlotCount,
                     [slotCount](const QVariant &count, const QVariant &, const QVariant &) { *slotCount = count.toInt(); });
    plan->crateProperty(QStringLiteral("ModelName"), [this, slotCount, addr](const QVariant &model) {
        m_main.enterConnected(*slotCount, model.toString(), addr);
        hide();
    });
    m_main.planPoll(*plan);
    plan->onDone([this] { cmdOK->setEnabled(true); });
    plan->onFailed([this](const HVError &e) {
        // Logged in, but the crate cannot be read: end that session and stay here to retry.
        cmdOK->setEnabled(true);
        m_main.connectionLost(e);
    });

    cmdOK->setEnabled(false); // one connection at a time, until the crate has answered
    HVPowerSupply &h = m_main.hv();
    try {
        // Connecting may take up to the connect time-out: say so with the cursor.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        h.loginThen(txtUserName->text(), txtPassword->text(), addr, plan);
    } catch (const HVError &e) {
        MsgBox::show(this, QStringLiteral("Connect ..."), QStringLiteral("Login failed."), QMessageBox::Warning,
                     e.message());
        cmdOK->setEnabled(true);
        txtUserName->setFocus(Qt::OtherFocusReason);
        txtUserName->selectAll();
        return;
    }
    remember(addr);
}

void frmLogin::remember(const QString &addr)
{
    QSettings settings(SettingsOrganization, SettingsApplication);
    settings.setValue(AddressKey, addr);
    settings.setValue(UserKey, txtUserName->text());
    QStringList recent = recentAddresses();
    recent.removeAll(addr);
    recent.prepend(addr);
    recent = recent.mid(0, MaxRecent);
    settings.setValue(RecentKey, recent);
    cboRecent->clear();
    cboRecent->addItem(QStringLiteral("Recent..."));
    cboRecent->addItems(recent);
    cboRecent->setVisible(true);
    layout()->invalidate();
    setFixedSize(sizeHint());
}

bool frmLogin::confirmCertificate(QWidget *parent, const QString &crate, const QString &fingerprint,
                                  const QString &trusted)
{
    if (trusted.isEmpty())
        return MsgBox::ask(parent, QStringLiteral("Connect ..."),
                           tr("This is the first encrypted connection to the crate at %1. Its certificate's SHA-256 "
                              "fingerprint is:\n\n%2\n\nTrust it only if it is the fingerprint the crate shows (its "
                              "administrator can tell you). Pylonet remembers it and refuses any other certificate, "
                              "or a plain link, from this crate.")
                               .arg(crate, fingerprint),
                           tr("Trust this crate"), tr("Cancel"));
    return MsgBox::ask(parent, QStringLiteral("Connect ..."),
                       tr("The crate at %1 shows another certificate than the one trusted before.\n\nNow:\n%2\n\n"
                          "Trusted before:\n%3\n\nA machine may be posing as the crate. Trust the new certificate "
                          "only if the crate's certificate was replaced on purpose and the new fingerprint is the one "
                          "the crate shows.")
                           .arg(crate, fingerprint, trusted),
                       tr("Trust the new certificate"), tr("Cancel"), QMessageBox::Warning);
}

void frmLogin::cmdCancelClick()
{
    hide();
}

void frmLogin::reject()
{
    // Esc and the close box only hide: the typed values stay for the next "&Connect".
    hide();
}
