// Searching and replacing in the edit pane with the last request's search
// text, flags and replacement.
#ifndef TEKSTOR_FIND_SEARCH_H
#define TEKSTOR_FIND_SEARCH_H

#include <windows.h>

// Finds g_szFindWhat from the selection start (FALSE) or beyond the selection
// (TRUE) in the direction and with the case rule of g_dwSearchFlags, and
// selects the hit. Beeps and returns FALSE when there is none.
BOOL SearchText(BOOL bFromSelectionEnd);

// Replaces every hit from the selection onwards in one undoable change, puts
// the caret at the start of the text and beeps once, as the search that finds
// no further hit does. FALSE when nothing was found (after one beep) or the
// memory for the work was missing (silently); the text is then unchanged.
BOOL ReplaceAllInPane();

// The beep for a search that found nothing: the system's default beep.
void BeepNotFound();

#endif
