#pragma once

#include "boardpanel.h"
#include "panelkit.h"

#include <QVector>
#include <initializer_list>
#include <vector>

// A board panel whose channels are rows of columns described by tables
// (PanelKit::Column). The tables say where each control stands, how it is
// named and which parameter it shows and writes; this class builds the
// controls, binds them, and refreshes a channel's controls in the panel's
// own tick order. Tab moves along a row from left to right, then to the next
// row; each control's accessible name is its column's heading and its channel
// ("V0Set, channel 5, Anode"), the channel by its number and its name once read.
class TablePanel : public BoardPanel
{
    Q_OBJECT
public:
    using BoardPanel::BoardPanel;

protected:
    // Rows for channels first .. first + count - 1: each row gets its cells in
    // every table, in the order given, so the focus moves along the row.
    void addRows(std::initializer_list<PanelKit::Table> tables, qint16 first, int count);
    // The control arrays a tick reads for each channel, in order; a channel
    // without a control in an array skips that read.
    void setTickOrder(std::initializer_list<const char *> arrays);

    void planChannel(ReadPlan &plan, qint16 ch) override;
    int channelRows() const override { return m_rows; }
    void showChannelName(qint16 ch) override;

private:
    // One control array and the controls of it that each channel has.
    struct Cell
    {
        PanelKit::Kind kind;        // how its controls read and write
        QString array;              // its name
        QString heading;            // its column's heading, for the accessible names
        QString par;                // parameter read and written
        QString unit;               // setpoints: the unit after the board's prefix
        QVector<QWidget *> controls; // by channel; nullptr where a channel has none
    };

    QWidget *addControl(const PanelKit::Table &t, const PanelKit::Column &c, int row, qint16 ch);
    Cell &cellOf(const PanelKit::Column &c);
    void nameRow(qint16 ch);

    std::vector<Cell> m_cells; // one per control array, in order of first appearance
    QVector<int> m_tick;       // indices into m_cells, in tick order
    int m_rows = 0;            // channels that have a row
};
