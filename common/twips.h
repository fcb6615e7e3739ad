// Window layouts are designed in twips, a 1440th of an inch: pixels by the widget's logical DPI.
#pragma once

#include <QWidget>

inline int twips(const QWidget *widget, int value) { return value * widget->logicalDpiX() / 1440; }
