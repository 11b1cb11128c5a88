#include "platform/code_page.h"

// These systems have no ANSI code page; names are read byte by byte unless
// the user asks for a code page.
int GetAnsiCodePage() { return 0; }
