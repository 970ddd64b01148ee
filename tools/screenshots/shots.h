#pragma once

#include <QString>
#include <functional>

class QWidget;

// Each shot_*.cpp registers the windows it renders; the program grabs them
// offscreen into the output folder, one PNG each.
namespace Shots {

// Renders its windows by calling save() for each; runs with a live QApplication.
using Producer = std::function<void()>;

struct Registrar
{
    Registrar(const QString &name, Producer producer);
};

// Grabs the window (after letting it lay out) into <outdir>/<file>.png.
void save(QWidget *window, const QString &file);

} // namespace Shots
