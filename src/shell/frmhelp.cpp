#include "frmhelp.h"

#include "appinfo.h"
#include "parameterinfo.h"
#include "screenfit.h"
#include "windowkeys.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
// Keys that work in every window of the program, then those of one kind of window.
const char *const Keys[][2] = {
    {"F1", "this help"},
    {"Ctrl+Shift+M", "the main window"},
    {"Ctrl+E", "the Events window"},
    {"Ctrl+G", "a new graph window (while connected)"},
    {"Ctrl+Q", "end Pylonet"},
    {"Alt+W in the main window", "the Window menu: every open panel and graph"},
    {"Tab, Shift+Tab", "the next or previous control; in a panel along a channel's row, then the next row"},
    {"Enter", "write the value typed in a field; open the panel of the slot button in focus"},
    {"Esc", "in a field being typed in: put the crate's value back; elsewhere: close the window"},
    {"Ctrl+W", "close the window"},
    {"Ctrl+PgDn, Ctrl+PgUp", "a panel's other page, in the same row"},
    {"Space", "switch the lamp or switch in focus (Pw, POn, PDwn)"},
    {"Enter on a VMon or IMon heading (Q310)", "the board graph of that group"},
    {"Delete in a graph's legend", "remove the selected trace"},
    {"Enter in the plot picker", "add the selected parameter to the graph that opened the picker"},
};

QString table(const QList<std::pair<QString, QString>> &rows)
{
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    for (const auto &[left, right] : rows)
        html += QStringLiteral("<tr><td valign=\"top\"><b>%1</b></td><td>%2</td></tr>")
                    .arg(left.toHtmlEscaped(), right.toHtmlEscaped());
    return html + QStringLiteral("</table>");
}
} // namespace

frmHelp::frmHelp(QWidget *parent) : QWidget(parent, Qt::Window), txtHelp(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(AppInfo::title() + QStringLiteral(" Help"));
    txtHelp->setObjectName(QStringLiteral("txtHelp"));
    txtHelp->setAccessibleName(windowTitle());
    txtHelp->setOpenLinks(true);
    txtHelp->setHtml(text());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(txtHelp);
    addCloseKeys(this);
    const int em = fontMetrics().height();
    ScreenFit::resize(this, QSize(40 * em, 36 * em));
}

QString frmHelp::text()
{
    QList<std::pair<QString, QString>> keys;
    for (const auto &k : Keys)
        keys.append({QString::fromLatin1(k[0]), QString::fromLatin1(k[1])});
    QList<std::pair<QString, QString>> parameters;
    for (const ParameterInfo::Entry &e : ParameterInfo::all()) {
        const QString unit = QString::fromUtf8(e.unit);
        parameters.append({QString::fromLatin1(e.name),
                           QString::fromUtf8(e.what) + (unit.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(unit))});
    }
    return QStringLiteral(
               "<h2>%1</h2>"
               "<p>Contents: <a href=\"#connect\">Connecting</a>, <a href=\"#keys\">Keys</a>, "
               "<a href=\"#colours\">Colours and marks</a>, <a href=\"#parameters\">Parameters</a>.</p>"
               "<h3><a name=\"connect\"></a>Connecting</h3>"
               "<p>Connection &gt; Connect asks for the crate's IP address, user name and password. "
               "To try Pylonet without hardware, start the simulated crate first: <tt>pylonet-sim</tt> "
               "listens on 127.0.0.1 with the dialog's default user name and password, so OK connects. "
               "<tt>pylonet-sim --help</tt> lists its options; while it runs, type <tt>help</tt> in its "
               "terminal for the faults it can show (a pulled board, a dropped link, a slow crate).</p>"
               "<p>The main window shows one button per slot; a button opens the panel of its board. "
               "Graph opens a trend window, whose Plots &gt; Add ... opens the plot picker; drag a "
               "parameter from it onto the graph, or select it and press Enter.</p>"
               "<h3><a name=\"keys\"></a>Keys</h3>%2"
               "<h3><a name=\"colours\"></a>Colours and marks</h3>%3"
               "<h3><a name=\"parameters\"></a>Parameters</h3>"
               "<p>Each column heading of a panel says the same in its tooltip.</p>%4")
        .arg(AppInfo::title().toHtmlEscaped(), table(keys),
             table({{QStringLiteral("Red status, light yellow text"),
                     QStringLiteral("the channel is in alarm: over-current, over-voltage or under-voltage")},
                    {QStringLiteral("Bright red Pw lamp"), QStringLiteral("the channel's high voltage is on")},
                    {QStringLiteral("Dashed frame"), QStringLiteral("a value written, the crate has not answered yet")},
                    {QStringLiteral("Red frame"),
                     QStringLiteral("the crate refused the value; its reason is in the tooltip and the status line")},
                    {QStringLiteral("Amber frame"),
                     QStringLiteral("the outcome of a write is unknown (the link was lost): check the value")},
                    {QStringLiteral("Amber dashed frame with a corner flag"),
                     QStringLiteral("the crate's value changed while you typed: Enter writes over it, leaving "
                                    "the field drops your typing")},
                    {QStringLiteral("Tinted field"), QStringLiteral("typing not written yet")},
                    {QStringLiteral("Veil with a time"),
                     QStringLiteral("the values have not been refreshed for that long, or the link is down")},
                    {QStringLiteral("Orange heading (Q310 VMon, IMon)"),
                     QStringLiteral("opens the board graph of that group")}}),
             table(parameters));
}
