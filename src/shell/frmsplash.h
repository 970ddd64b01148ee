#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QTimer;

// The window shown while the program starts. After 2500 ms, a key or a click it
// shows the main window and closes itself; whichever comes first does it, once.
class frmSplash : public QWidget
{
    Q_OBJECT
public:
    explicit frmSplash(QWidget &mainWindow);

    // Shows the main window, then closes the splash. Later calls do nothing.
    void handOver();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &m_main;                     // shown at the hand-over
    bool m_handedOver = false;           // the first trigger wins
    QFrame *Frame1 = nullptr;            // border around the content
    QLabel *imgLogo = nullptr;           // our logo, 100 by 42 pixels
    QLabel *lblProductName = nullptr;    // application title
    QLabel *lblVersion = nullptr;        // "Release " major.minor.patch
    QLabel *lblLegal = nullptr;          // the legal notice
    QTimer *Timer1 = nullptr;            // 2500 ms, running from the start
};
