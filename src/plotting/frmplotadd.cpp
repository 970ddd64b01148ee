#include "frmplotadd.h"

#include "fontscale.h"
#include "frmgraph.h"
#include "hverror.h"
#include "hvpowersupply.h"
#include "msgbox.h"
#include "plotdrag.h"
#include "plotimages.h"
#include "readplan.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace {
const QString ParTag = QStringLiteral("Par");
const QString Title = QStringLiteral("Plot add ...");

bool isParameterNode(const QTreeWidgetItem *item)
{
    return item && item->data(0, Qt::UserRole).toString() == ParTag;
}
} // namespace

QPointer<frmPlotAdd> &frmPlotAdd::current()
{
    static QPointer<frmPlotAdd> open; // the application's one picker while it is open
    return open;
}

frmPlotAdd *frmPlotAdd::openInstance()
{
    return current().data();
}

frmPlotAdd *frmPlotAdd::showFor(HVPowerSupply &h)
{
    const auto bringForward = [](frmPlotAdd *picker) {
        if (picker->isMinimized())
            picker->showNormal();
        picker->show();
        picker->raise();
        picker->activateWindow();
    };
    frmPlotAdd *picker = current().data();
    const bool open = picker != nullptr;
    if (open && picker->isBuilding())
        return picker; // it shows itself when its tree stands
    if (!open) {
        picker = new frmPlotAdd(h);
        picker->setAttribute(Qt::WA_DeleteOnClose);
        current() = picker;
    }
    const auto built = [picker, bringForward](bool ok) {
        if (ok) {
            bringForward(picker);
            return;
        }
        current() = nullptr;
        picker->deleteLater();
    };
    // An open picker is built again when the crate map has changed since it was built.
    if (open)
        picker->refreshTree(built);
    else
        picker->buildTree(built);
    return current().data();
}

frmPlotAdd::frmPlotAdd(HVPowerSupply &h, QWidget *parent)
    : QWidget(parent, Qt::Tool)
    , m_h(h)
    , m_tree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("frmPlotAdd"));
    setWindowTitle(Title);
    m_tree->setObjectName(QStringLiteral("tvSysTree"));
    m_tree->setAccessibleName(QStringLiteral("Parameters to plot"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setDragDropMode(QAbstractItemView::NoDragDrop); // drags are started and shown here
    m_tree->viewport()->setAcceptDrops(true);
    m_tree->viewport()->installEventFilter(this);
    m_tree->installEventFilter(this); // Enter on a parameter

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);
    // Drawn for 9 pt; a larger desktop font grows the window with it, as the panels do.
    const double scale = FontScale::of(font());
    resize(FontScale::scaled(155, scale), FontScale::scaled(281, scale));
}

void frmPlotAdd::fitNames()
{
    // Every name whole, however deep and whatever the font: an elided "Trip..."
    // would not tell TripInt from TripExt.
    int widest = 0;
    const int indent = m_tree->indentation();
    const int icon = m_tree->iconSize().width();
    std::function<void(QTreeWidgetItem *, int)> measure = [&](QTreeWidgetItem *item, int depth) {
        const QFontMetrics fm(item->font(0));
        widest = std::max(widest, indent * (depth + 1) + icon + fm.horizontalAdvance(item->text(0)) + 4 * fm.averageCharWidth());
        for (int i = 0; i < item->childCount(); ++i)
            measure(item->child(i), depth + 1);
    };
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
        measure(m_tree->topLevelItem(i), 0);
    const int needed = widest + 2 * m_tree->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_tree);
    if (needed > width())
        resize(needed, height());
}

bool frmPlotAdd::buildTree(std::function<void(bool)> built)
{
    readMap([](const QVariantList &) { return true; }, std::move(built));
    return !m_buildFailed;
}

void frmPlotAdd::refreshTree(std::function<void(bool)> built)
{
    readMap([this](const QVariantList &map) { return map != m_builtFrom; }, std::move(built));
}

void frmPlotAdd::readMap(const std::function<bool(const QVariantList &)> &rebuild, std::function<void(bool)> built)
{
    const int build = ++m_build;
    m_building = true;
    m_buildFailed = false;
    auto plan = std::make_shared<ReadPlan>(this);
    auto map = std::make_shared<QVariantList>();
    plan->querySlots(PlanStep::SlotCount | PlanStep::ChannelCounts | PlanStep::SlotModels,
                     [map](const QVariant &count, const QVariant &channels, const QVariant &models) {
                         *map = {count, channels, models};
                     });
    plan->onDone([this, map, rebuild, built] {
        if (rebuild(*map))
            buildBoards(*map, built);
        else
            buildDone(built);
    });
    runBuildPlan(plan, build, built);
}

void frmPlotAdd::runBuildPlan(const std::shared_ptr<ReadPlan> &plan, int build, const std::function<void(bool)> &built)
{
    // Answers of an older build, or of one cleared meanwhile, have nowhere to go.
    plan->whileTrue([this, build] { return build == m_build; });
    plan->onFailed([this, built](const HVError &e) { buildFailed(e, built); });
    m_h.runPlan(plan);
}

void frmPlotAdd::buildDone(const std::function<void(bool)> &built)
{
    m_building = false;
    fitNames();
    if (built)
        built(true);
}

void frmPlotAdd::buildBoards(const QVariantList &map, const std::function<void(bool)> &built)
{
    m_tree->clear();
    m_pressed = m_highlight = nullptr;
    const QVariant count = map.value(0);
    const QVariant channels = map.value(1);
    const QVariant models = map.value(2);
    const QIcon boardIcon(PlotImages::image(PlotImages::Board));
    const QIcon channelIcon(PlotImages::image(PlotImages::Channel));
    const QIcon parameterIcon(PlotImages::image(PlotImages::Parameter));
    const QVariantList channelCounts = channels.toList();
    const QVariantList slotModels = models.toList();
    const int build = m_build;
    auto plan = std::make_shared<ReadPlan>(this);
    for (int slot = 0; slot < count.toInt(); ++slot) {
        const QString model = slotModels.value(slot).toString();
        if (model.isEmpty())
            continue;
        // Two boards of one model must not look alike: the slot goes with the model.
        auto *board = new QTreeWidgetItem(m_tree, {QStringLiteral("%1 - Slot %2").arg(model).arg(slot)});
        board->setData(0, Qt::UserRole, slot);
        board->setIcon(0, boardIcon);
        QFont bold = board->font(0);
        bold.setBold(true);
        board->setFont(0, bold);
        board->setExpanded(true);
        const auto s = static_cast<qint16>(slot);
        for (int ch = 0; ch < channelCounts.value(slot).toInt(); ++ch) {
            const auto c = static_cast<qint16>(ch);
            auto channel = std::make_shared<QTreeWidgetItem *>(nullptr);
            auto names = std::make_shared<QStringList>();
            plan->channelName(s, c, [board, channel, ch, channelIcon](const QVariant &name) {
                *channel = new QTreeWidgetItem(board, {name.toString()});
                (*channel)->setData(0, Qt::UserRole, ch);
                (*channel)->setIcon(0, channelIcon);
            });
            const int list = plan->listChannelParams(s, c, [names](const QVariant &v) { *names = v.toStringList(); });
            plan->paramAttributeOfEach(list, s, QStringLiteral("Type"), c,
                                       [channel, names, parameterIcon](const QVariant &types) {
                                           const QVariantList typeList = types.toList();
                                           for (int i = 0; i < names->size(); ++i) {
                                               bool numeric = false;
                                               const int type = typeList.value(i).toInt(&numeric);
                                               if (!numeric || type != 0)
                                                   continue;
                                               auto *par = new QTreeWidgetItem(*channel, {names->at(i)});
                                               par->setData(0, Qt::UserRole, ParTag);
                                               par->setIcon(0, parameterIcon);
                                           }
                                       });
        }
    }
    plan->onDone([this, built, map] {
        m_builtFrom = map;
        buildDone(built);
    });
    runBuildPlan(plan, build, built);
}

void frmPlotAdd::buildFailed(const HVError &error, const std::function<void(bool)> &built)
{
    // A half-built tree would offer a partial crate as if it were whole.
    m_building = false;
    m_buildFailed = true;
    ++m_build;
    m_tree->clear();
    m_builtFrom.clear();
    MsgBox::show(this, Title,
                 QStringLiteral("The crate could not be read, so there is nothing to pick.\n%1").arg(error.message()),
                 QMessageBox::Warning);
    if (built)
        built(false);
}

std::optional<PlotDrag::Parameter> frmPlotAdd::parameterOf(const QTreeWidgetItem *item) const
{
    if (!isParameterNode(item) || !item->parent() || !item->parent()->parent())
        return std::nullopt;
    PlotDrag::Parameter p;
    p.name = item->text(0);
    p.channel = static_cast<qint16>(item->parent()->data(0, Qt::UserRole).toInt());
    p.slot = static_cast<qint16>(item->parent()->parent()->data(0, Qt::UserRole).toInt());
    p.sourceName = m_tree->objectName();
    return p;
}

void frmPlotAdd::setTarget(frmGraph *graph)
{
    m_target = graph;
}

bool frmPlotAdd::addCurrentToTarget()
{
    const std::optional<PlotDrag::Parameter> p = parameterOf(m_tree->currentItem());
    if (!p)
        return false;
    if (!m_target) {
        MsgBox::show(this, Title, QStringLiteral("The graph window this picker was opened from is closed."),
                     QMessageBox::Warning);
        return false;
    }
    // Exactly what a drop carries, handed to the window's drop.
    const std::unique_ptr<QMimeData> data(PlotDrag::encode(*p));
    return m_target->acceptDrop(m_tree, data.get());
}

QDrag *frmPlotAdd::makeDrag(QTreeWidgetItem *item)
{
    const std::optional<PlotDrag::Parameter> p = parameterOf(item);
    if (!p)
        return nullptr;
    auto *drag = new QDrag(m_tree);
    drag->setMimeData(PlotDrag::encode(*p));
    drag->setPixmap(PlotImages::dimmed(PlotImages::image(PlotImages::Parameter)));
    drag->setHotSpot(QPoint(8, 8));
    // Wherever the drop is refused (a full graph, anywhere else) the red disc shows.
    drag->setDragCursor(PlotImages::image(PlotImages::Refused), Qt::IgnoreAction);
    return drag;
}

void frmPlotAdd::startDrag(QTreeWidgetItem *item)
{
    QDrag *drag = makeDrag(item);
    if (!drag)
        return;
    m_tree->setCurrentItem(item);
    m_dragging = true;
    drag->exec(Qt::CopyAction, Qt::CopyAction);
    m_dragging = false;
    setDropHighlight(nullptr);
}

void frmPlotAdd::setDropHighlight(QTreeWidgetItem *item)
{
    if (item == m_highlight)
        return;
    if (m_highlight) {
        m_highlight->setData(0, Qt::BackgroundRole, QVariant());
        m_highlight->setData(0, Qt::ForegroundRole, QVariant());
    }
    m_highlight = item;
    if (m_highlight) {
        m_highlight->setBackground(0, palette().brush(QPalette::Highlight));
        m_highlight->setForeground(0, palette().brush(QPalette::HighlightedText));
    }
}

bool frmPlotAdd::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && isParameterNode(m_tree->currentItem())) {
            addCurrentToTarget();
            return true;
        }
    }
    if (watched != m_tree->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *e = static_cast<QMouseEvent *>(event);
        m_pressed = m_tree->itemAt(e->position().toPoint());
        m_pressPos = e->position().toPoint();
        break;
    }
    case QEvent::MouseMove: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->buttons() == Qt::LeftButton && isParameterNode(m_pressed)
            && (e->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            QTreeWidgetItem *item = m_pressed;
            m_pressed = nullptr;
            startDrag(item);
            return true;
        }
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *e = static_cast<QDragMoveEvent *>(event);
        if (!e->mimeData()->hasFormat(QString::fromLatin1(PlotDrag::MimeType)))
            return false;
        setDropHighlight(m_tree->itemAt(e->position().toPoint()));
        e->acceptProposedAction();
        return true;
    }
    case QEvent::DragLeave:
        setDropHighlight(nullptr);
        return true;
    case QEvent::Drop:
        // A drop back on the picker changes nothing.
        setDropHighlight(nullptr);
        m_dragging = false;
        event->ignore();
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
