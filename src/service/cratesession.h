#pragma once

#include <QObject>
#include <QString>

// The connection as every window reading from the crate shares it: whether it
// is up, to which crate, and why it went down. The main window, which connects
// and disconnects, reports here; panels and graphs listen, so that a deliberate
// Disconnect leaves them open and quiet and the next Connect to the same crate
// resumes them. Every window reaches it through the one access object
// (HVPowerSupply::session()), so nothing is passed around besides it.
class CrateSession : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    bool isUp() const { return m_up; }
    // The address of the crate connected last ("" before the first connect).
    QString address() const { return m_address; }

    void up(const QString &address);
    // deliberate: the operator disconnected; otherwise the link was lost.
    void down(const QString &reason, bool deliberate);

signals:
    void wentUp(const QString &address);
    void wentDown(const QString &reason, bool deliberate);

private:
    bool m_up = false;   // between up() and down()
    QString m_address;   // the crate of the last up()
};
