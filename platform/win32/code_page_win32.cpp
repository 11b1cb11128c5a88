#include <windows.h>

#include "platform/code_page.h"

int GetAnsiCodePage() { return static_cast<int>(GetACP()); }
