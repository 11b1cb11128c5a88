/* Holds a file open the way a program that keeps it to itself does (share
 * mode 0), so that the tests can try to read it from another process.
 * Prints "open" once the file is open and keeps it until its standard
 * input ends.
 * Usage: hold_open.exe PATH */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("Usage: hold_open.exe PATH\n", stderr);
    return 2;
  }
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "hold_open: %s: error %lu\n", argv[1], GetLastError());
    return 1;
  }
  puts("open");
  fflush(stdout);
  char buffer[64];
  DWORD got = 0;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  while (ReadFile(in, buffer, sizeof buffer, &got, NULL) && got > 0) {
  }
  CloseHandle(file);
  return 0;
}
