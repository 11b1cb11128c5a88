/* Stands in for the text viewer in the dialog tests: appends the file it
 * was asked to open, as one line, to opened.log beside this program, and
 * ends at once.
 * Usage: record_open.exe PATH */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
  char log[MAX_PATH + 16];
  DWORD n = GetModuleFileNameA(NULL, log, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  char* slash = strrchr(log, '\\');
  strcpy(slash ? slash + 1 : log, "opened.log");
  FILE* out = fopen(log, "ab");
  if (!out) return 1;
  fprintf(out, "%s\n", argc > 1 ? argv[1] : "");
  return fclose(out) == 0 ? 0 : 1;
}
