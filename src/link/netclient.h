#pragma once

#include "cratetrust.h"
#include "hvpowersupply.h"
#include "plangate.h"
#include "protocol.h"
#include "replybook.h"

#include <QCborMap>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSslError;
class QSslSocket;

// HVPowerSupply over TCP to a crate server.
//
// Single calls are one request and one reply, waited for on the calling thread
// with a deadline that holds whatever arrives (no event loop runs meanwhile).
// Plans and posted writes are sent at once and answered from the event loop:
// a plan travels as one frame and comes back as one, so a whole tick costs one
// round trip, and the GUI thread goes on meanwhile. All requests share the one
// connection, so the crate sees them in the order they were made.
//
// The login proves the password without sending it (scram.h). When the crate
// offers TLS the client encrypts before it logs in; a crate's certificate is
// self-signed, so it is trusted on first use (CrateTrust: the operator is asked
// through the trust asker, and the crate must show the same certificate, and
// go on encrypting, from then on), its SHA-256 fingerprint is shown
// (linkFingerprint), and the login is bound to it: a relay that shows another
// certificate cannot pass the login on. A broken handshake, or a crate that
// offers TLS and then does not carry it out, fails the login. Nothing of the
// login (not even the user name) goes to a crate that is not trusted, and no
// proof to one that asks for weak keys.
//
// Connecting gives up after the connect time-out, every reply (and the TLS
// handshake) after the reply time-out, whatever arrives meanwhile. A lost link is never re-opened behind the caller's back: every
// later call fails until the next Login, and every request still waiting for
// its answer fails at once.
class NetClient : public QObject, public HVPowerSupply
{
    Q_OBJECT
public:
    explicit NetClient(quint16 port = Protocol::DefaultPort,
                       int connectTimeoutMs = Protocol::DefaultConnectTimeoutMs,
                       int replyTimeoutMs = Protocol::DefaultReplyTimeoutMs);
    ~NetClient() override;

    quint16 port() const { return m_port; }
    int connectTimeoutMs() const { return m_connectTimeoutMs; }
    int replyTimeoutMs() const { return m_replyTimeoutMs; }
    void setReplyTimeoutMs(int ms) { m_replyTimeoutMs = ms; }
    bool isConnected() const;
    // Plans and writes sent (or waiting to be) whose answers have not been applied yet.
    int pendingCount() const { return m_book.size() + m_undelivered + int(m_waiting.size()); }
    // The crate certificate's SHA-256 fingerprint ("AB:12:..."), "" on a plain link.
    QString linkFingerprint() const override { return Protocol::fingerprint(m_certificateDigest); }
    // What the client trusts of the crates it meets (kept in memory unless given a store).
    CrateTrust &trust() { return *m_trust; }
    void setTrust(std::unique_ptr<CrateTrust> trust) { m_trust = std::move(trust); }
    // Asks the operator about a certificate met for the first time, or changed;
    // without one, such a crate is refused.
    void setTrustAsker(CrateTrust::Asker ask) { m_askTrust = std::move(ask); }

    // Address is a numeric IPv4 address, every part decimal (Protocol::parseAddress);
    // the port is the one given at construction.
    void Login(const QString &userName, const QString &password, qint32 reserved,
               const QString &address) override;
    void loginThen(const QString &userName, const QString &password, const QString &address,
                   const std::shared_ptr<ReadPlan> &then) override;
    // Never throws and never waits: the logout is sent and the connection closes
    // behind it; on a link that is already gone it only forgets it.
    void Logout() override;
    void QuerySlots(QVariant *slotCount, QVariant *channelCounts, QVariant *slotModels) override;
    QVariant CrateProperty(const QString &propertyName) override;
    QVariant ParamValue(qint16 slot, const QString &parName, std::optional<qint16> ch = std::nullopt) override;
    void SetParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value) override;
    QVariant ParamAttribute(qint16 slot, const QString &parName, const QString &propertyName,
                            std::optional<qint16> ch = std::nullopt) override;
    QString ChannelName(qint16 slot, qint16 ch) override;
    void SetChannelName(qint16 slot, qint16 ch, const QString &name) override;
    QStringList ListChannelParams(qint16 slot, qint16 ch) override;

    void runPlan(const std::shared_ptr<ReadPlan> &plan) override;
    void postParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value, QObject *context,
                        WriteDone done) override;
    void postChannelName(qint16 slot, qint16 ch, const QString &name, QObject *context, WriteDone done) override;
    bool claimLinkReport(const HVError &error) override;

private:
    enum class State { Closed, Open, Lost };
    using Pending = ReplyBook::Pending;
    // Bytes taken off the socket at a time: a waiting call looks at its deadline between them.
    static constexpr qint64 ReadChunk = 256 * 1024;
    // A socket's error text to go after a colon.
    static QString lowerFirst(QString s);

    HVError notOpenError() const;
    // One attempt of the login, `then` behind its proof, the first step with the opening when `nameEarly`;
    // *again tells whether one more attempt may succeed (the crate encrypts, so the name waits for the
    // encrypted link; or the operator accepted the crate's certificate meanwhile).
    void logIn(const QString &userName, const QString &password, const QString &where, quint32 ip, bool nameEarly,
               bool *again, const std::shared_ptr<ReadPlan> &then);
    // Encrypts the open connection after the crate offered it; throws HVError::link on any failure.
    void encrypt();
    // The login's first step, as sent: its request id and the client's nonce.
    struct AuthSent
    {
        qint64 id = 0;    // request id
        QByteArray nonce; // the client's nonce
    };
    AuthSent sendAuth(const QString &user);
    // The challenge (to the first step sent already when given) and the proof, `then` right behind it.
    void authenticate(const QString &user, const QString &password, const std::shared_ptr<ReadPlan> &then,
                      const std::optional<AuthSent> &early = std::nullopt);
    void onSslErrors(const QList<QSslError> &errors);
    // Sends one request frame and returns its id; throws HVError (and drops the link) when it cannot.
    // A request's whole frame, given the id it goes with.
    using Encoder = std::function<QByteArray(qint64 id)>;
    static Encoder framed(QCborMap request);
    qint64 send(const Encoder &encode);
    // Sends the request, waits for its reply and returns it; throws the
    // crate's error, a time-out or a lost link as HVError.
    QCborMap call(QCborMap request);
    QCborMap call(const Encoder &encode);
    // Waits for the reply to the request sent as `id`; a refusal throws.
    QCborMap awaitReply(qint64 id);
    QVariant read(const PlanStep &step);
    // Returns the request's id, or 0 when it could not be sent (then it has failed already).
    qint64 sendPending(Pending pending, const Encoder &encode);
    // Sends the waiting plans the gate lets out now.
    void releasePlans();
    // The plan's steps as CBOR, kept per window while they stay the same.
    const QByteArray &encodedSteps(const ReadPlan &plan);
    void onReadyRead();
    void takeFrame(const QCborMap &frame);
    void later(std::function<void()> f);
    void armTimeout();
    void onTimeout();
    // The link is gone: close it and fail every request still waiting.
    void dropLink(const QString &reason);
    void failAllPending(const HVError &error);
    // graceful: what was written still leaves before the connection closes, without waiting for it.
    void closeSocket(bool graceful = false);

    quint16 m_port;                    // server port
    int m_connectTimeoutMs;            // limit for the TCP connection to open
    int m_replyTimeoutMs;              // limit for each reply
    QSslSocket *m_socket = nullptr;    // the open connection, if any (owned); plain until the crate offers TLS
    Protocol::FrameReader m_reader;    // frames of the current connection
    State m_state = State::Closed;     // what the next call will find
    QString m_lostReason;              // why the link was lost, for later calls
    ReplyBook m_book;                  // which request each reply answers
    int m_outage = 0;                  // counts logins and losses: the link failures of one share it
    int m_reportedOutage = -1;         // the outage the operator has been told of
    int m_undelivered = 0;             // answers taken in but not yet handed to their windows
    bool m_proving = false;            // the login's proof is out: what the windows would hear is held
    std::vector<std::function<void()>> m_held; // held until the crate has proved itself, dropped if the login fails
    QTimer m_timeout;                  // fires when the oldest waiting request is overdue
    QByteArray m_certificateDigest;    // SHA-256 of the crate's certificate, which the login is bound to; empty on a plain link
    QString m_certificateRefusal;      // why the crate's certificate was refused, during a handshake
    std::unique_ptr<CrateTrust> m_trust = std::make_unique<CrateTrust>(); // certificates trusted, per crate
    CrateTrust::Asker m_askTrust;      // asks the operator about a certificate
    struct EncodedPlan
    {
        QPointer<QObject> window;      // whose plan it is
        QVector<PlanStep> steps;       // its steps
        QByteArray encoded;            // and their encoding
    };
    QHash<const QObject *, EncodedPlan> m_encoded; // each window's last plan, encoded
    QByteArray m_scratchSteps;         // the encoding of a plan no window owns
    PlanGate m_gate;                   // how much crate work may be on its way
    std::deque<std::shared_ptr<ReadPlan>> m_waiting; // plans waiting for their turn, oldest first
    QElapsedTimer m_clock;             // times plans and answers for the gate
};
