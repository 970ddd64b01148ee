#pragma once

// Small helpers any test may use: lists read item by item, whole files.

#include <QFile>
#include <QStringList>

// text(i) for i in [0, n).
template <typename F> QStringList collect(int n, F text)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << text(i);
    return out;
}

// The whole file, or nothing when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes the file whole; false when it cannot.
inline bool writeFile(const QString &path, const QByteArray &bytes = {})
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
