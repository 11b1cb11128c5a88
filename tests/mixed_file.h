// Files made of the lines the scanner and the line rules treat differently,
// in every kind of line end, with a section header or none near the middle:
// what the tests that read a file in two halves, or in two ways, compare on.
#ifndef VELTRANE_TESTS_MIXED_FILE_H_
#define VELTRANE_TESTS_MIXED_FILE_H_

#include <random>
#include <string>

#include "checker/scanner.h"

// A file of the lines below in random order with random line ends; with
// `shortLines`, none longer than a piece.
inline std::string MixedFile(std::mt19937& random, bool shortLines = false) {
  static const std::string kLines[] = {
      ".Patch Names", ".Note Names", ".Controller Names", ".Instrument Definitions", ".Other",
      "[Kit]", "[Bank A]", "[Bank A", "[]", "[\x83\x5d]", "[\x83]]", "BasedOn=Kit",
      "BasedOn=Bank A", "Patch[*]=Bank A", "Patch[0]=1..128", "Key[0,*]=Kit", "Control=Std",
      "Controller=Std", "RPN=R", "NRPN=N", "0=Piano", "; comment", "", "[Kit]\rPatch[0]=Kit",
      "Key[1,*]=Kit\r\r", "[" + std::string(300, 'L') + "]", "Control=" + std::string(260, 'c'),
      std::string(253, 'x') + "[Kit]", "0=" + std::string(251, 'p'),
      // What the line rules look at.
      "1=Harp", "0=Piano ; soft", "128=Last", "x=Broken", "; veltrane: ignore VLT2002",
      "; veltrane: ignore", "Patch[0]=Kit ; main", "Drum[0,0]=0", "BankSelMethod=1", "Ptach[1]=Kit",
      "Colour=Red", ".RPN Names", "  ", "NRPN\r=N"};
  static const std::string kEnds[] = {"\n", "\r\n", "\r", "\n", "\r\n"};
  std::string file;
  const int count = std::uniform_int_distribution<int>(0, 60)(random);
  for (int i = 0; i < count; ++i) {
    const std::string& line = kLines[random() % std::size(kLines)];
    if (shortLines && line.size() > kLongestWholeLine) continue;
    file += line;
    file += kEnds[random() % std::size(kEnds)];
  }
  if (random() % 4 == 0) file += "[Tail]";  // no line end at the end
  return file;
}

#endif  // VELTRANE_TESTS_MIXED_FILE_H_
