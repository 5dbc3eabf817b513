#pragma once

// Gives every plain top-level QWidget (the strip, the editor window) the role of a window for
// assistive technologies, which otherwise find an unnamed filler at the top of the program. Call
// before such a window shows; calls after the first do nothing.
void installAccessibleWindows();
