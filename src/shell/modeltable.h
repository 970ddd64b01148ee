#pragma once

#include <QString>
#include <functional>
#include <vector>

class HVPowerSupply;
class QWidget;

// One row: a board model as the crate reports it and how to open its panel.
struct ModelRow
{
    QString model;                                      // exact model string
    std::function<QWidget *(HVPowerSupply &h)> open;    // creates the panel; empty: nothing to open yet
};

// The one place that maps board models to panel windows. It decides both which
// slot buttons are enabled and which panel a click opens.
class ModelTable
{
public:
    // The boards this program has panels for, in the order a model is looked up.
    static ModelTable standard();

    explicit ModelTable(std::vector<ModelRow> rows);

    // The row of the model (exact comparison), or nullptr for an unsupported one.
    const ModelRow *find(const QString &model) const;
    bool isSupportedModel(const QString &model) const;
    const std::vector<ModelRow> &rows() const &;
    std::vector<ModelRow> rows() &&; // safe in a range-for over ModelTable::standard().rows()

private:
    std::vector<ModelRow> m_rows; // in lookup order
};

// Whether the standard table has a row for the model.
bool isSupportedModel(const QString &model);
