#include "frmabout.h"

#include "appinfo.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QFrame *separator(QWidget *parent, const QString &name)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
} // namespace

frmAbout::frmAbout(QWidget *parent, const QString &session) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + AppInfo::title());

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(AppInfo::iconPixmap(48));
    picIcon->setFixedSize(48, 48);

    lblTitle = new QLabel(AppInfo::title(), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSize(titleFont.pointSize() + 6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(QStringLiteral("Version ") + AppInfo::versionNumber(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription = new QLabel(AppInfo::description(), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblLegal = new QLabel(AppInfo::legalNotice(), this);
    lblLegal->setObjectName(QStringLiteral("lblLegal"));
    lblLegal->setWordWrap(true);
    Label1 = new QLabel(AppInfo::supportLine(), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);

    lblSession = new QLabel(session, this);
    lblSession->setObjectName(QStringLiteral("lblSession"));
    lblSession->setTextFormat(Qt::PlainText);
    lblSession->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblSession->setVisible(!session.isEmpty());

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true); // Enter presses it; Esc rejects, which closes the same way
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto *head = new QHBoxLayout;
    head->setSpacing(14);
    head->addWidget(picIcon, 0, Qt::AlignTop);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addSpacing(6);
    texts->addWidget(lblDescription);
    head->addLayout(texts, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);

    auto *page = new QVBoxLayout(this);
    page->addLayout(head);
    page->addWidget(separator(this, QStringLiteral("Line1")));
    page->addWidget(lblLegal);
    page->addWidget(Label1);
    page->addWidget(lblSession);
    page->addWidget(separator(this, QStringLiteral("Line2")));
    page->addLayout(buttons);
    setMinimumWidth(380);
}
