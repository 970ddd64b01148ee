#pragma once

#include <QByteArray>
#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QString>
#include <QVariant>
#include <QVector>
#include <optional>

struct PlanAnswer;
struct PlanStep;

// The wire protocol between NetClient and the crate server. A frame is a
// 4-byte big-endian length followed by that many bytes holding one CBOR map.
// README.md beside this file describes the messages.
namespace Protocol {

inline constexpr quint16 DefaultPort = 47310;
inline constexpr int Version = 3;
inline constexpr qint64 MaxFrameSize = 1 << 20;   // payload bytes, header not counted
inline constexpr int HeaderSize = 4;
inline constexpr int DefaultConnectTimeoutMs = 3000;
inline constexpr int DefaultReplyTimeoutMs = 5000;

// Message keys and request names, spelled once.
namespace Key {
inline const QString Op = QStringLiteral("op");
inline const QString Id = QStringLiteral("id");
inline const QString Version = QStringLiteral("version");
inline const QString User = QStringLiteral("user");
inline const QString Nonce = QStringLiteral("nonce");
inline const QString Salt = QStringLiteral("salt");
inline const QString Iterations = QStringLiteral("iterations");
inline const QString Binding = QStringLiteral("binding");
inline const QString Proof = QStringLiteral("proof");
inline const QString Signature = QStringLiteral("signature");
inline const QString Tls = QStringLiteral("tls");
inline const QString Slot = QStringLiteral("slot");
inline const QString Ch = QStringLiteral("ch");
inline const QString Par = QStringLiteral("par");
inline const QString Prop = QStringLiteral("prop");
inline const QString Name = QStringLiteral("name");
inline const QString Value = QStringLiteral("value");
inline const QString Error = QStringLiteral("error");
inline const QString SlotCount = QStringLiteral("slotCount");
inline const QString ChannelCounts = QStringLiteral("channelCounts");
inline const QString SlotModels = QStringLiteral("slotModels");
inline const QString Steps = QStringLiteral("steps");
inline const QString Answers = QStringLiteral("answers");
inline const QString FailedAt = QStringLiteral("failedAt");
inline const QString When = QStringLiteral("when");
inline const QString EachOf = QStringLiteral("eachOf");
} // namespace Key

namespace Op {
inline const QString Login = QStringLiteral("login");
inline const QString Auth = QStringLiteral("auth");
inline const QString Proof = QStringLiteral("proof");
inline const QString Logout = QStringLiteral("logout");
inline const QString QuerySlots = QStringLiteral("querySlots");
inline const QString CrateProperty = QStringLiteral("crateProperty");
inline const QString ParamValue = QStringLiteral("paramValue");
inline const QString SetParamValue = QStringLiteral("setParamValue");
inline const QString ParamAttribute = QStringLiteral("paramAttribute");
inline const QString ChannelName = QStringLiteral("channelName");
inline const QString SetChannelName = QStringLiteral("setChannelName");
inline const QString ListChannelParams = QStringLiteral("listChannelParams");
inline const QString Plan = QStringLiteral("plan");
} // namespace Op

// Most reads a plan may carry: far more than a tick of the whole crate makes.
inline constexpr int MaxPlanSteps = 8192;

// The whole frame (header and payload) of one message, ready for a single write.
QByteArray encodeFrame(const QCborMap &message);
// True when the frame's payload is within MaxFrameSize.
inline bool fitsLimit(const QByteArray &frame) { return frame.size() - HeaderSize <= MaxFrameSize; }

// Most characters of an error text that travel: what a request quoted is cut
// short, so an answer never grows with the size of what it refuses.
inline constexpr int MaxErrorText = 300;
QString clip(const QString &text, int max = MaxErrorText);

// The first byte of a TLS handshake record; a frame's first byte is 0 (its
// length is below 16 MiB), so the two cannot be taken for each other.
inline constexpr char TlsHandshakeByte = 0x16;

// The server's answer to "auth": the nonce (the client's followed by the
// server's), the salt and the PBKDF2 rounds. Throws HVError when the answer is
// not one (a nonce that does not start with the client's, rounds outside
// Scram::MinIterations..MaxIterations).
struct Challenge
{
    QByteArray nonce;
    QByteArray salt;
    int iterations = 0;
};
Challenge decodeChallenge(const QCborMap &reply, const QByteArray &clientNonce);
// A nonce as it may travel: 8 to 128 printable ASCII characters, no comma.
bool isNonce(const QByteArray &nonce);

// A value as it travels: integers stay integers, doubles doubles, texts
// texts, lists lists, bool bool, an invalid QVariant null. Throws HVError for
// a type the protocol cannot carry.
QCborValue toCbor(const QVariant &value);
// The way back: integers arrive as int (qlonglong beyond int's range).
// Throws HVError for CBOR types the protocol never sends (maps, tags, bytes).
QVariant fromCbor(const QCborValue &value);

// Arguments of a request, checked: each throws HVError ("Malformed request:
// ...") when the argument is missing or of another kind.
qint16 shortArg(const QCborMap &request, const QString &key);
qint16 shortValue(const QCborValue &value, const QString &key); // the same check of a value named key
QString textArg(const QCborMap &request, const QString &key);
[[noreturn]] void malformed(const QString &what);

// A read as a request or as a step of a plan, and back. A read request is
// exactly the single request of the same op; a plan step may add "when" and
// "eachOf". decodeStep throws HVError ("Malformed request: ...") for anything
// it cannot trust; a guard or list may only point at an earlier step.
QByteArray encodeReadFrame(qint64 id, const PlanStep &step); // the whole frame of a single read
PlanStep decodeStep(const QCborMap &request, int index = 0);
bool isReadOp(const QString &op);
// The whole frame of a plan request, ready for a single write.
QByteArray encodePlanFrame(qint64 id, const QVector<PlanStep> &steps);
// The same in two parts, so that a window's steps, the same tick after tick,
// are encoded once: the steps as a CBOR array, and the frame around them.
QByteArray encodePlanSteps(const QVector<PlanStep> &steps);
QByteArray encodePlanFrame(qint64 id, const QByteArray &encodedSteps);
// Also refuses an empty plan, one of more than MaxPlanSteps, and a guard or
// list pointing at a step of the wrong kind.
QVector<PlanStep> decodePlan(const QCborValue &steps);

// A step's answer inside a plan's reply: the value (QuerySlots: the map of the
// outputs asked for), or undefined for a step whose guard did not hold.
QCborValue encodeAnswer(const PlanStep &step, const PlanAnswer &answer);
// Throws HVError when the answer is not what the step asks for.
PlanAnswer decodeAnswer(const PlanStep &step, const QCborValue &answer);
// The value of a single read's reply (the same checks as decodeAnswer).
QVariant decodeReply(const PlanStep &step, const QCborMap &reply);

// A dotted IPv4 address of four decimal parts, each 1 to 3 digits and at most
// 255. Leading zeros are decimal too ("192.168.001.020" is 192.168.1.20, never
// octal), so a padded address reaches the crate it names. nullopt for anything else.
std::optional<quint32> parseAddress(const QString &text);

// A certificate's SHA-256 digest as it is shown: "AB:12:...", "" for none.
QString fingerprint(const QByteArray &digest);

// "3 s", "0.2 s": how time-outs are spoken of in messages.
QString seconds(int ms);

// Cuts a byte stream into frames. Feed it whatever arrived; take frames out
// with next(). After an error the stream cannot be trusted any more and the
// reader stays in the error state.
class FrameReader
{
public:
    enum class Status { NeedMore, Frame, Error };

    void append(const QByteArray &bytes);
    Status next(QCborMap *message);
    QString errorString() const { return m_error; }
    // True while part of a frame has arrived and the rest has not.
    bool inFrame() const { return bufferedBytes() > 0; }
    qsizetype bufferedBytes() const { return m_buffer.size() - m_taken; }

private:
    Status fail(const QString &error);

    QByteArray m_buffer;   // bytes received; those before m_taken were taken out as frames
    qsizetype m_taken = 0; // so many frames out of a large buffer cost no copy each
    QString m_error;       // why the stream was rejected; empty while it is good
};

} // namespace Protocol
