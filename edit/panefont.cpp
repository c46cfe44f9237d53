// The pane's font, in a file of its own so that the bench's floor window can
// take exactly this font without the rest of the program.
#include "edit/editpane.h"

HFONT CreatePaneFont()
{
    return CreateFontA(9, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       "Fixedsys");
}
