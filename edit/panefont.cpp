// The pane's font, in a file of its own so that the bench's floor window can
// take exactly this font without the rest of the program.
//
// "Fixedsys" names a raster font of 8 by 15 pixels. Where it is missing (a
// Windows from which it was removed, a Wine prefix without Wine's own fonts),
// the system hands out whatever it likes for the name, under Wine a
// proportional 9-pixel font, and no column of a plain text lines up. The
// second request asks for a fixed-pitch font of the same cell height.
//
// Under Wine the font also decides whether a text can crash the pane. Wine
// 8 lays out a line of Latin text for the Edit control by characters, not by
// glyph numbers, and then applies the font's OpenType positioning tables to
// those characters as if they were glyph numbers; its mark-to-ligature and
// mark-to-mark steps read the glyph before a run's first one without asking
// whether there is one. In the proportional font Wine gives for "Fixedsys"
// when the font is missing, the number of the small tilde (0x98, U+02DC) is
// one those steps cover, so a line, or a run after a control character such
// as 0x8D, that starts with it reads outside the glyph array and faults.
// Fixedsys has no such tables; the fixed-pitch font of the second request
// there (DejaVu Sans Mono) has them, but none of its faulting steps covers the
// number of a character of code page 1252.
#include "edit/editpane.h"

static HFONT CreateFontOfCell(int cyCell, BYTE bPitchAndFamily, LPCSTR pszFace)
{
    return CreateFontA(cyCell, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, bPitchAndFamily, pszFace);
}

static BOOL IsFixedPitchFont(HFONT hFont)
{
    if (!hFont)
        return FALSE;
    HDC hdc = GetDC(NULL);
    HGDIOBJ hOld = SelectObject(hdc, hFont);
    TEXTMETRICA tm;
    const BOOL bMeasured = GetTextMetricsA(hdc, &tm);
    SelectObject(hdc, hOld);
    ReleaseDC(NULL, hdc);
    // The bit's name says the opposite of its meaning: set means variable pitch.
    return bMeasured && !(tm.tmPitchAndFamily & TMPF_FIXED_PITCH);
}

HFONT CreatePaneFont()
{
    HFONT hFont = CreateFontOfCell(9, DEFAULT_PITCH | FF_DONTCARE, "Fixedsys");
    if (IsFixedPitchFont(hFont))
        return hFont;
    if (hFont)
        DeleteObject(hFont);
    // Any face: the system's best fixed-pitch one, 15 pixels from top to bottom.
    return CreateFontOfCell(15, FIXED_PITCH | FF_MODERN, NULL);
}
