#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>

class HVPowerSupply;
class QDrag;
class QTreeWidget;
class QTreeWidgetItem;

// The plot picker: the crate as a tree of boards, channels and plottable
// parameters, from which the operator drags a parameter onto a graph window.
// There is one picker for the whole application (showFor).
//
// Node tags (Qt::UserRole): a board node holds its slot, a channel node its
// channel, a parameter node the text "Par".
class frmPlotAdd : public QWidget
{
    Q_OBJECT
public:
    // Shows the one picker: brings it forward when it is open, otherwise opens
    // it with a tree built from the crate now. Returns nullptr, after telling
    // the operator, when the crate cannot be read.
    static frmPlotAdd *showFor(HVPowerSupply &h);
    // The open picker, or nullptr.
    static frmPlotAdd *openInstance();

    explicit frmPlotAdd(HVPowerSupply &h, QWidget *parent = nullptr);

    // Builds the tree from the crate. On a failure of the crate the tree is left
    // empty, the operator is told and false is returned.
    bool buildTree();

    QTreeWidget *tree() const { return m_tree; }
    bool isDragging() const { return m_dragging; }

    // The drag of a parameter node (not yet started), or nullptr for any other node.
    QDrag *makeDrag(QTreeWidgetItem *item);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static QPointer<frmPlotAdd> &current();
    void startDrag(QTreeWidgetItem *item);
    void setDropHighlight(QTreeWidgetItem *item);

    HVPowerSupply &m_h;                         // the crate, read while building
    QTreeWidget *m_tree;                        // tvSysTree
    QTreeWidgetItem *m_pressed = nullptr;       // node under the mouse when a button went down
    QPoint m_pressPos;                          // where that button went down
    QTreeWidgetItem *m_highlight = nullptr;     // node shown as drop target
    bool m_dragging = false;                    // a parameter drag started here is running
};
