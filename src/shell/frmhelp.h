#pragma once

#include <QWidget>

class QTextBrowser;

// The built-in help (F1 from any window): the keys, what the colours and
// alarm marks mean, what each parameter is, and how to reach the simulated
// crate. One window for the run, brought forward when it is open; it reads
// nothing from the crate.
class frmHelp : public QWidget
{
    Q_OBJECT
public:
    explicit frmHelp(QWidget *parent = nullptr);

    // The help as HTML (our own text, so markup is meant here).
    static QString text();

private:
    QTextBrowser *txtHelp; // the text, scrollable, links to its own sections
};
