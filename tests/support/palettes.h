#pragma once

#include "contrast.h"

#include <QApplication>
#include <QPalette>
#include <QStringList>
#include <QStyle>
#include <QStyleFactory>
#include <memory>

// The Fusion style's own light palette.
inline QPalette lightFusionPalette()
{
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    return fusion->standardPalette();
}

// A dark palette as a dark desktop theme hands it to Fusion: every role with its partner.
inline QPalette darkFusionPalette()
{
    QPalette p(QColor(0x35, 0x35, 0x35)); // window and button, with light text
    const QColor text(0xf0, 0xf0, 0xf0);
    const QColor dimText(0x90, 0x90, 0x90);
    for (auto [role, colour] : {std::pair{QPalette::Window, QColor(0x35, 0x35, 0x35)}, {QPalette::WindowText, text},
                                {QPalette::Base, QColor(0x24, 0x24, 0x24)}, {QPalette::AlternateBase, QColor(0x2e, 0x2e, 0x2e)},
                                {QPalette::Text, text}, {QPalette::Button, QColor(0x3c, 0x3c, 0x3c)},
                                {QPalette::ButtonText, text}, {QPalette::ToolTipBase, QColor(0x2b, 0x2f, 0x3a)},
                                {QPalette::ToolTipText, text}, {QPalette::Highlight, QColor(0x4a, 0x90, 0xd9)},
                                {QPalette::HighlightedText, QColor(Qt::black)}, {QPalette::PlaceholderText, dimText},
                                {QPalette::Link, QColor(0x6a, 0xb0, 0xff)}})
        p.setColor(role, colour);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, dimText);
    return p;
}

// The application in the Fusion style with a palette while it lives, then back as it was.
class PaletteScope
{
public:
    explicit PaletteScope(const QPalette &palette) : m_before(QApplication::palette())
    {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QApplication::setPalette(palette);
    }
    ~PaletteScope() { QApplication::setPalette(m_before); }
    PaletteScope(const PaletteScope &) = delete;
    PaletteScope &operator=(const PaletteScope &) = delete;

private:
    QPalette m_before; // restored at the end
};

// The pairs below the minimum, each as "what: ratio (text on background)".
inline QStringList poorContrast(const QList<Contrast::Pair> &pairs, double minimum = Contrast::TextMinimum)
{
    QStringList poor;
    for (const Contrast::Pair &p : pairs) {
        const double r = Contrast::ratio(p.back, p.fore);
        if (r < minimum)
            poor << QStringLiteral("%1: %2:1 (%3 on %4)").arg(p.what).arg(r, 0, 'f', 2).arg(p.fore.name(), p.back.name());
    }
    return poor;
}
