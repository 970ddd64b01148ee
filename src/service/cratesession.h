#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantList>

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

    // The crate map, shared: whichever window reads the models of the slots
    // tells them here, and every window hears of a change from the first answer
    // that shows it (a pulled board, within one round trip).
    void noteModels(const QVariantList &models);
    QVariantList models() const { return m_models; }

    // Channel names, shared the same way: whoever reads a channel's name (the
    // main window's sweep over the crate, a panel) tells it here, and the graphs
    // that name the channel follow a rename. "" for a channel not read yet.
    void noteChannelName(int slot, int channel, const QString &name);
    QString channelName(int slot, int channel) const { return m_names.value({slot, channel}); }

    // The refresh period the windows get while the crate cannot keep up with
    // their reads (ms), or 0 while it can; the access layer says so.
    void notePace(double periodMs);
    double pace() const { return m_paceMs; }

signals:
    void wentUp(const QString &address);
    void wentDown(const QString &reason, bool deliberate);
    void modelsChanged(const QVariantList &models);
    void channelNameChanged(int slot, int channel, const QString &name);
    void paceChanged(double periodMs);

private:
    bool m_up = false;     // between up() and down()
    QString m_address;     // the crate of the last up()
    QVariantList m_models; // the models by slot, as last read
    QHash<std::pair<int, int>, QString> m_names; // channel names by slot and channel, as last read
    double m_paceMs = 0;   // the windows' refresh period while the crate is overloaded
};
