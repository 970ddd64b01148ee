#include "modeltable.h"

#include "frmq205.h"
#include "frmq310.h"
#include "frmq420.h"
#include "frmq510.h"
#include "frmq510e.h"

#include <QStringList>

ModelTable ModelTable::standard()
{
    // "Q510E" comes before "Q510"; the Q420 family shares one panel.
    std::vector<ModelRow> rows{
        {QStringLiteral("Q310"), [](HVPowerSupply &h) -> QWidget * { return new frmQ310(h); }},
        {QStringLiteral("Q510E"), [](HVPowerSupply &h) -> QWidget * { return new frmQ510E(h); }},
        {QStringLiteral("Q510"), [](HVPowerSupply &h) -> QWidget * { return new frmQ510(h); }},
        {QStringLiteral("Q205"), [](HVPowerSupply &h) -> QWidget * { return new frmQ205(h); }},
    };
    const QStringList q420Family{QStringLiteral("Q420"), QStringLiteral("Q421"), QStringLiteral("Q431"),
                                 QStringLiteral("Q422"), QStringLiteral("Q432"), QStringLiteral("Q423"),
                                 QStringLiteral("Q433"), QStringLiteral("Q424"), QStringLiteral("Q434")};
    for (const QString &m : q420Family)
        rows.push_back({m, [](HVPowerSupply &h) -> QWidget * { return new frmQ420(h); }});
    return ModelTable(std::move(rows));
}

ModelTable::ModelTable(std::vector<ModelRow> rows) : m_rows(std::move(rows)) {}

const ModelRow *ModelTable::find(const QString &model) const
{
    for (const ModelRow &row : m_rows)
        if (row.model == model)
            return &row;
    return nullptr;
}

bool ModelTable::isSupportedModel(const QString &model) const
{
    return find(model) != nullptr;
}

const std::vector<ModelRow> &ModelTable::rows() const &
{
    return m_rows;
}

std::vector<ModelRow> ModelTable::rows() &&
{
    return std::move(m_rows);
}

bool isSupportedModel(const QString &model)
{
    static const ModelTable table = ModelTable::standard(); // read-only; built once
    return table.isSupportedModel(model);
}
