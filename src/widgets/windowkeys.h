#pragma once

class QWidget;

// Esc and Ctrl+W close the window, as they do a panel or a graph window. A
// field that uses Esc itself (dropping what is being typed) keeps it.
void addCloseKeys(QWidget *window);
