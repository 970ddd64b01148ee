#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// Which application and version runs. Made for each showing, so its texts are filled anew.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    // `session` tells about the running connection (its encryption); none: no line for it.
    explicit frmAbout(QWidget *parent = nullptr, const QString &session = QString());

private:
    QLabel *picIcon = nullptr;        // the application icon
    QLabel *lblTitle = nullptr;       // application title
    QLabel *lblVersion = nullptr;     // "Version " major.minor.patch
    QLabel *lblDescription = nullptr; // what the program is for
    QLabel *lblLegal = nullptr;       // the legal notice
    QLabel *Label1 = nullptr;         // support contact
    QLabel *lblSession = nullptr;     // the running connection, when there is something to say
    QPushButton *cmdOK = nullptr;     // default and cancel button
};
