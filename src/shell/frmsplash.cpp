#include "frmsplash.h"

#include "appinfo.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

frmSplash::frmSplash(QWidget &mainWindow)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), m_main(mainWindow)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(AppInfo::title());
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setLineWidth(1);

    imgLogo = new QLabel(Frame1);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(AppInfo::logo());
    imgLogo->setFixedSize(100, 42);

    lblProductName = new QLabel(AppInfo::title(), Frame1);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    QFont big = lblProductName->font();
    big.setPointSize(big.pointSize() + 12);
    big.setBold(true);
    lblProductName->setFont(big);

    lblVersion = new QLabel(QStringLiteral("Release ") + AppInfo::versionNumber(), Frame1);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblLegal = new QLabel(AppInfo::legalNotice(), Frame1);
    lblLegal->setObjectName(QStringLiteral("lblLegal"));
    lblLegal->setWordWrap(true);

    auto *inner = new QVBoxLayout(Frame1);
    inner->setContentsMargins(18, 16, 18, 14);
    inner->addWidget(imgLogo, 0, Qt::AlignLeft);
    inner->addSpacing(8);
    inner->addWidget(lblProductName);
    inner->addWidget(lblVersion);
    inner->addStretch(1);
    inner->addWidget(lblLegal);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(Frame1);
    resize(420, 240);

    for (QWidget *w : {static_cast<QWidget *>(Frame1), static_cast<QWidget *>(imgLogo),
                       static_cast<QWidget *>(lblProductName), static_cast<QWidget *>(lblVersion),
                       static_cast<QWidget *>(lblLegal)})
        w->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(2500);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::handOver);
    Timer1->start();
}

void frmSplash::handOver()
{
    if (m_handedOver)
        return;
    m_handedOver = true;
    Timer1->stop();
    m_main.show();
    close();
}

void frmSplash::keyPressEvent(QKeyEvent *)
{
    handOver();
}

bool frmSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        handOver();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
