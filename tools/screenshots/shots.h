#pragma once

#include <QString>
#include <functional>

class BoardPanel;
class Main;
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

// Opens a panel as the main window does (caption, tag), ticks it once and saves it.
void savePanel(BoardPanel *panel, const QString &model, int slot, const QString &file);

// Connects the main window to its crate at 127.0.0.1 as the dialog would, and polls once.
void connectMain(Main &w);

} // namespace Shots
