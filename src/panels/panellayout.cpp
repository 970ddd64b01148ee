// A panel's layout: where its controls stand at the font and on the screen it
// is shown on, how large its window opens, and its two pages.

#include "boardpanel.h"

#include "numberformat.h"
#include "numfield.h"
#include "panelkit.h"
#include "screenfit.h"

#include <QGroupBox>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabBar>
#include <algorithm>
#include <limits>

namespace {

// The controls a panel places itself, in and below its frames, with their places as drawn.
void collectPlaces(QWidget *parent, std::vector<std::pair<QPointer<QWidget>, QRect>> &places)
{
    for (QObject *o : parent->children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (!w || w->isWindow())
            continue;
        places.emplace_back(w, w->geometry());
        // Frames hold more controls; every other widget lays out its own insides.
        const QMetaObject *kind = w->metaObject();
        if (kind == &QFrame::staticMetaObject || kind == &QWidget::staticMetaObject || qobject_cast<QGroupBox *>(w))
            collectPlaces(w, places);
    }
}

QRect scaled(const QRect &r, double sx, double sy)
{
    return QRect(qRound(r.x() * sx), qRound(r.y() * sy), qRound(r.width() * sx), qRound(r.height() * sy));
}

// A value of four significant digits as the field's format shows it, with a
// prefix where the format picks one: "888.8 mV", "888.8 V/s", "888.8".
QString fourDigits(const QString &format)
{
    const QString prefixed = NumberFormat::render(888.8e-3, format);
    return prefixed.startsWith(QLatin1String("888.8")) ? prefixed : NumberFormat::render(888.8, format);
}

} // namespace

QTabBar *BoardPanel::addTabStrip(const QRect &r)
{
    auto *tabs = new QTabBar(m_content);
    m_tabs = tabs;
    tabs->setObjectName(QStringLiteral("TabStrip1"));
    tabs->setAccessibleName(tr("Pages"));
    tabs->addTab(QStringLiteral("Page 1"));
    tabs->addTab(QStringLiteral("Page 2"));
    tabs->setExpanding(true);
    tabs->setUsesScrollButtons(false);
    tabs->setDrawBase(false);
    // Two tabs in a strip 100 pixels wide: keep the padding small so both captions show.
    tabs->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 1px 4px; min-width: 0px; border: 1px solid palette(dark);"
        " border-top-left-radius: 3px; border-top-right-radius: 3px; background: palette(button); }"
        "QTabBar::tab:selected { background: palette(base); border-bottom-color: palette(base); }"));
    tabs->setGeometry(r);
    connect(tabs, &QTabBar::currentChanged, this, &BoardPanel::tabClicked);
    return tabs;
}

void BoardPanel::addPagePair(QWidget *pageOne, QWidget *pageTwo)
{
    m_pages.append(qMakePair(pageOne, pageTwo));
    pageOne->show();
    pageTwo->hide();
}

void BoardPanel::turnPage(int step)
{
    if (!m_tabs)
        return;
    m_turningByKey = true;
    m_tabs->setCurrentIndex(qBound(0, m_tabs->currentIndex() + step, m_tabs->count() - 1));
    m_turningByKey = false;
}

void BoardPanel::tabClicked(int index)
{
    const auto p = static_cast<qint16>(index + 1);
    if (p == CurrentPage)
        return;
    QWidget *from = focusWidget();
    const int row = from && m_content->isAncestorOf(from) ? from->mapTo(m_content, from->rect().center()).y() : -1;
    // Leaving the page is leaving its field: what is being typed is committed as
    // on any other move, and the page strip, which says which page is shown, has the focus.
    if (!m_tabs->hasFocus())
        m_tabs->setFocus(Qt::OtherFocusReason);
    CurrentPage = p;
    for (const auto &[pageOne, pageTwo] : std::as_const(m_pages)) {
        if (p == 2) {
            pageTwo->show();
            pageOne->hide();
        } else {
            pageTwo->hide();
            pageOne->show();
        }
    }
    // From the keyboard the operator goes on where they were: the row they were in, on the new page.
    if (m_turningByKey)
        if (QWidget *to = pageStop(row))
            to->setFocus(Qt::TabFocusReason);
}

QWidget *BoardPanel::pageStop(int row) const
{
    QWidget *best = nullptr;
    std::pair<int, int> bestKey{std::numeric_limits<int>::max(), 0};
    for (const auto &pair : m_pages) {
        QWidget *page = CurrentPage == 2 ? pair.second : pair.first;
        for (QWidget *w : page->findChildren<QWidget *>()) {
            if (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || !w->isVisibleTo(page))
                continue;
            const QPoint at = w->mapTo(m_content, w->rect().center());
            // The nearest row (the top one when the focus was in none), then the leftmost control.
            const std::pair<int, int> key{row < 0 ? at.y() : std::abs(at.y() - row), at.x()};
            if (key < bestKey) {
                bestKey = key;
                best = w;
            }
        }
    }
    return best;
}

void BoardPanel::setContentSize(const QSize &size, bool fixedWindow)
{
    m_designSize = size;
    m_fixedWindow = fixedWindow;
    m_content->resize(size);
    resize(windowSizeFor(size)); // so that showing does not size the window to its scroll area; fitted when polished
}

QSize BoardPanel::windowSizeFor(const QSize &content) const
{
    m_statusLine->ensurePolished(); // its height in the font and style it is shown in
    return content + QSize(0, m_statusLine->sizeHint().height());
}

double BoardPanel::valueScale() const
{
    // How much wider than drawn the layout must be for every numeric field to
    // show a four-digit value whole at the panel's font.
    const QFontMetrics fm(font());
    double scale = 1.0;
    for (const auto &[w, place] : m_design) {
        const auto *field = qobject_cast<const NumField *>(w.data());
        if (field && place.width() > 0)
            scale = std::max(scale, double(fm.horizontalAdvance(fourDigits(field->format())) + field->chromeWidth())
                                        / place.width());
    }
    return scale;
}

void BoardPanel::fitToFont()
{
    if (m_designSize.isEmpty())
        return;
    if (m_design.empty())
        collectPlaces(m_content, m_design);
    // Taller and wider with the font; wider still where a value would not fit
    // its field, as far as the screen has room (beyond that a long value is drawn smaller).
    const double sy = PanelKit::fontScale(font());
    const QRect available = ScreenFit::availableFor(this);
    const double roomScale = available.isEmpty() ? valueScale()
                                                 : double(ScreenFit::room(available).width()) / m_designSize.width();
    const double sx = std::max(sy, std::min(valueScale(), roomScale));
    if (sx == m_scale.width() && sy == m_scale.height())
        return;
    QRect used;
    for (const auto &[w, place] : m_design) {
        if (!w)
            continue;
        w->setGeometry(scaled(place, sx, sy));
        if (w->parentWidget() == m_content)
            used |= w->geometry();
    }
    // Scroll bars only where a control would be cut, not for the blank margin of the design:
    // a window a pixel or two short (rounding at a fractional scale factor) shows every control whole.
    m_content->setMinimumSize(used.right() + 1, used.bottom() + 1);
    const QSize content = scaled(QRect(QPoint(), m_designSize), sx, sy).size();
    m_content->resize(content);
    QSize window = windowSizeFor(content);
    if (!m_fixedWindow && !m_scale.isEmpty()) {
        // The operator's own size grows with the layout; the status line keeps its height.
        const int line = window.height() - content.height();
        window = QSize(qRound(width() * sx / m_scale.width()), qRound((height() - line) * sy / m_scale.height()) + line);
    }
    m_scale = QSizeF(sx, sy);
    const QSize fits = available.isEmpty() ? window : ScreenFit::bounded(window, available);
    if (m_fixedWindow)
        setFixedSize(fits); // the frame stays fixed; what does not fit the screen scrolls
    else
        resize(fits);
}
