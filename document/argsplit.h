// Finding the first name in an argument string, on plain memory. The string
// is wide, so that a name keeps every character it has. Whether a
// candidate names a file is asked of the caller, so this part knows nothing
// of files or windows and can be built and exercised on any platform.
#ifndef TEKSTOR_DOCUMENT_ARGSPLIT_H
#define TEKSTOR_DOCUMENT_ARGSPLIT_H

// TRUE-like when pszName (NUL-terminated) is a name to take.
typedef bool (*ArgumentNameTest)(const wchar_t* pszName, void* pContext);

// Searches pszArgs (cut in place) for the first name that pfnTest accepts.
// Returns whether one was; *ppszRemainder receives what is to be handed on
// to a new copy (a pointer into pszArgs), or NULL when nothing is.
// A quoted string is tested once: its name runs to the next quote, and the
// remainder starts at the quote after that. An unquoted string is tried
// prefix by prefix, each ending before a space, shortest first, then whole.
bool SplitArguments(wchar_t* pszArgs, ArgumentNameTest pfnTest, void* pContext,
                    wchar_t** ppszRemainder);

#endif
