// The system wait cursor for the length of one long operation (a load, a
// save, a find or replace request): shown where it is declared, and the
// previous cursor back when it goes out of scope, on every path out.
#ifndef TEKSTOR_APP_WAITCURSOR_H
#define TEKSTOR_APP_WAITCURSOR_H

#include <windows.h>

struct WaitCursor {
    WaitCursor() : hPrevious(SetCursor(LoadCursorA(NULL, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(hPrevious); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    HCURSOR hPrevious;
};

#endif
