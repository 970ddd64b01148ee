#include "alarmpanel.h"

#include "alarmbook.h"
#include "appinfo.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString SoundKey = QStringLiteral("Alarms/Sound");

QString settingsApplication()
{
    return QStringLiteral("Pylonet");
}
} // namespace

AlarmPanel::AlarmPanel(AlarmBook &alarms, QWidget *parent)
    : QGroupBox(tr("Alarms"), parent)
    , m_alarms(alarms)
    , tblAlarms(new QTableView(this))
    , cmdAcknowledge(new QPushButton(tr("&Acknowledge"), this))
    , cmdAcknowledgeAll(new QPushButton(tr("Acknowledge a&ll"), this))
    , chkAlarmSound(new QCheckBox(tr("&Sound"), this))
    , m_repeat(new QTimer(this))
{
    setObjectName(QStringLiteral("frameAlarms"));
    tblAlarms->setObjectName(QStringLiteral("tblAlarms"));
    tblAlarms->setModel(&alarms);
    tblAlarms->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblAlarms->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblAlarms->setWordWrap(false);
    tblAlarms->verticalHeader()->hide();
    tblAlarms->setAccessibleName(tr("Alarms"));
    // What happened takes the room that is left; the other columns fit their words
    // (a short list: measuring it costs nothing). A long text is whole in its tooltip.
    QHeaderView *header = tblAlarms->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(AlarmBook::WhatColumn, QHeaderView::Stretch);
    header->setMinimumSectionSize(header->fontMetrics().horizontalAdvance(QStringLiteral("Channel")) + 12);
    const QFontMetrics fm(tblAlarms->font());
    tblAlarms->setMinimumHeight(5 * (fm.height() + 8));

    cmdAcknowledge->setObjectName(QStringLiteral("cmdAcknowledge"));
    cmdAcknowledge->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    cmdAcknowledge->setToolTip(tr("Acknowledge the selected alarms, or the newest one (Ctrl+K)"));
    cmdAcknowledgeAll->setObjectName(QStringLiteral("cmdAcknowledgeAll"));
    cmdAcknowledgeAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    cmdAcknowledgeAll->setToolTip(tr("Acknowledge every alarm (Ctrl+Shift+K)"));
    chkAlarmSound->setObjectName(QStringLiteral("chkAlarmSound"));
    chkAlarmSound->setChecked(QSettings(AppInfo::organisation(), settingsApplication()).value(SoundKey, false).toBool());
    connect(cmdAcknowledge, &QPushButton::clicked, this, &AlarmPanel::acknowledgeSelected);
    connect(cmdAcknowledgeAll, &QPushButton::clicked, this, &AlarmPanel::acknowledgeAll);
    connect(chkAlarmSound, &QCheckBox::toggled, this,
            [](bool on) { QSettings(AppInfo::organisation(), settingsApplication()).setValue(SoundKey, on); });

    connect(&alarms, &AlarmBook::changed, this, &AlarmPanel::updateButtons);
    connect(&alarms, &AlarmBook::raised, this, [this] {
        beep();
        m_repeat->start();
    });
    m_repeat->setInterval(RepeatSoundMs);
    connect(m_repeat, &QTimer::timeout, this, [this] {
        if (m_alarms.unacknowledged() == 0)
            m_repeat->stop();
        else
            beep();
    });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdAcknowledge);
    buttons->addWidget(cmdAcknowledgeAll);
    buttons->addStretch(1);
    buttons->addWidget(chkAlarmSound);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tblAlarms, 1);
    layout->addLayout(buttons);
    updateButtons();
}

bool AlarmPanel::soundOn() const
{
    return chkAlarmSound->isChecked();
}

void AlarmPanel::beep()
{
    if (!soundOn())
        return;
    ++m_beeps;
    QApplication::beep();
}

void AlarmPanel::acknowledgeSelected()
{
    QList<qint64> ids;
    for (const QModelIndex &row : tblAlarms->selectionModel()->selectedRows())
        ids << m_alarms.atRow(row.row()).id;
    if (ids.isEmpty()) {
        for (int row = 0; row < m_alarms.size() && ids.isEmpty(); ++row)
            if (!m_alarms.atRow(row).acknowledged)
                ids << m_alarms.atRow(row).id;
    }
    m_alarms.acknowledge(ids);
}

void AlarmPanel::acknowledgeAll()
{
    m_alarms.acknowledgeAll();
}

void AlarmPanel::updateButtons()
{
    const int waiting = m_alarms.unacknowledged();
    cmdAcknowledge->setEnabled(waiting > 0);
    cmdAcknowledgeAll->setEnabled(waiting > 0);
    setTitle(waiting > 0 ? tr("Alarms (%n not acknowledged)", nullptr, waiting) : tr("Alarms"));
}
