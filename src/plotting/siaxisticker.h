#pragma once

#include <QString>
#include <qcustomplot.h>

// Tick labels of a value axis rendered with a display format text, so that an
// axis with k"V" reads 0, 500V, 1kV, 1.5kV: engineering notation with the SI
// prefix letter and the unit. Labels carry as many digits as it takes for each
// to read back as its own tick (so neighbours never read the same, even for a
// small drift around a large value) and no more.
class SiAxisTicker : public QCPAxisTicker
{
public:
    explicit SiAxisTicker(const QString &format = QString());
    QString format() const { return m_format; }
    void setFormat(const QString &format) { m_format = format; }

protected:
    QVector<QString> createLabelVector(const QVector<double> &ticks, const QLocale &locale, QChar formatChar,
                                       int precision) override;

private:
    QString m_format; // display format text of the axis
};
