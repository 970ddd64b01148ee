#pragma once

#include "plotdrag.h"

#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class HVError;
class frmGraph;
class HVPowerSupply;
class ReadPlan;
class QDrag;
class QTreeWidget;
class QTreeWidgetItem;

// The plot picker: the crate as a tree of boards, channels and plottable
// parameters, from which the operator drags a parameter onto a graph window.
// There is one picker for the whole application (showFor).
//
// Node tags (Qt::UserRole): a board node holds its slot, a channel node its
// channel, a parameter node the text "Par". A board node reads "<model> - Slot <n>".
//
// From the keyboard: Enter on a parameter node adds it to the graph window
// that last opened the picker, with the same checks and messages as a drop.
class frmPlotAdd : public QWidget
{
    Q_OBJECT
public:
    // Shows the one picker: brings it forward when it is open, otherwise opens
    // it with a tree built from the crate now; it shows once the tree stands.
    // Returns the picker, or nullptr when the crate could not be read (the
    // operator has been told; over the network that may also come later).
    static frmPlotAdd *showFor(HVPowerSupply &h);
    // The open picker, or nullptr.
    static frmPlotAdd *openInstance();

    explicit frmPlotAdd(HVPowerSupply &h, QWidget *parent = nullptr);

    // Builds the tree from the crate in two read plans: the crate map, then
    // every board's channel names, parameter lists and parameter types.
    // `built` gets true once the tree stands, or false after a failure of the
    // crate (the tree is then left empty and the operator has been told).
    // Returns false when it has failed by the time it returns (in process it
    // is always over by then).
    bool buildTree(std::function<void(bool built)> built = {});
    // Reads the crate map and builds the tree again when it differs from the
    // one the tree was built from; `built` as for buildTree.
    void refreshTree(std::function<void(bool built)> built = {});
    bool isBuilding() const { return m_building; }

    QTreeWidget *tree() const { return m_tree; }
    bool isDragging() const { return m_dragging; }

    // The drag of a parameter node (not yet started), or nullptr for any other node.
    QDrag *makeDrag(QTreeWidgetItem *item);

    // The graph window that Enter adds to: the one whose "&Add ..." opened or raised the picker.
    void setTarget(frmGraph *graph);
    // What Enter does: adds the current node's parameter to the target window.
    // False when the node is no parameter, there is no window, or the window refuses it.
    bool addCurrentToTarget();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static QPointer<frmPlotAdd> &current();
    void readMap(const std::function<bool(const QVariantList &map)> &rebuild, std::function<void(bool)> built);
    void buildBoards(const QVariantList &map, const std::function<void(bool)> &built);
    // Sends a plan of the build numbered `build`; its failure ends the build.
    void runBuildPlan(const std::shared_ptr<ReadPlan> &plan, int build, const std::function<void(bool)> &built);
    void buildDone(const std::function<void(bool)> &built);
    void fitNames(); // the window wide enough for every name in the tree
    void buildFailed(const HVError &error, const std::function<void(bool)> &built);
    std::optional<PlotDrag::Parameter> parameterOf(const QTreeWidgetItem *item) const;
    void startDrag(QTreeWidgetItem *item);
    void setDropHighlight(QTreeWidgetItem *item);

    HVPowerSupply &m_h;                         // the crate, read while building
    QTreeWidget *m_tree;                        // tvSysTree
    QTreeWidgetItem *m_pressed = nullptr;       // node under the mouse when a button went down
    QPoint m_pressPos;                          // where that button went down
    QTreeWidgetItem *m_highlight = nullptr;     // node shown as drop target
    bool m_dragging = false;                    // a parameter drag started here is running
    bool m_building = false;                    // the tree's reads are on their way
    bool m_buildFailed = false;                 // the last build failed
    int m_build = 0;                            // counts builds: answers of an older one are dropped
    QVariantList m_builtFrom;                   // the crate map the tree stands for
    QPointer<frmGraph> m_target;                // where Enter adds a parameter
};
