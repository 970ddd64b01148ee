#pragma once

#include <QString>

class HVError;
class HVPowerSupply;
class QWidget;

// One message for one dead link, however many windows find it dead: every
// window whose tick fails on the link calls this, and the operator is told
// ("Connection lost", the link's reason and what became of the windows) only
// when the access layer says this loss has not been told yet. Returns whether
// the message was shown.
bool tellLinkFailure(QWidget *parent, HVPowerSupply &h, const HVError &error, const QString &consequence);

// The consequence every window reading from the crate gives when its tick meets a dead link.
inline const QString WindowsClosed = QStringLiteral("The windows reading from it are closed.");

// "The connection to the crate failed: <reason>. <consequence>"
QString linkFailureText(const QString &reason, const QString &consequence);
// A reason as the end of a sentence of ours: trimmed, without its own full stop.
QString reasonText(const QString &reason);
