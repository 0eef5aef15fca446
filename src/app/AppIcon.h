#pragma once

// The application icon, drawn in code so that the window has it without an
// installed theme: two stacked sheets, the front one with a solid number box
// and a dashed title box in its title block, in black on white. The same
// drawing as data/planfolio.svg.

#include <QIcon>

class AppIcon
{
public:
    // The installed theme icon "planfolio" if there is one, else the drawing.
    static QIcon icon();
    // The drawing at `size` × `size` pixels.
    static QPixmap drawing(int size);
};
