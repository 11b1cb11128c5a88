// The ten-line file whose protocol shows every kind of finding, shared by
// the engine tests and the command-line tests.
#ifndef VELTRANE_TESTS_TEN_LINE_EXAMPLE_H_
#define VELTRANE_TESTS_TEN_LINE_EXAMPLE_H_

#include <string>

inline const char kTenLineExample[] =
    ".Patch Names\n[GM]\n0=Piano\n.Note Names\n[Drums]\n[Drums]\n"
    ".Instrument Definitions\n[Synth]\nPatch[*]=GM\nKey[*,*]=Drumz\n";

inline const char kTenLineFindings[] =
    "Line 6: [Drums]\n"
    "Warning: Label \"Drums\" already in line 5\n"
    "Line 5: [Drums]\n"
    "Error: Label \"Drums\" not used\n\n"
    "Line 6: [Drums]\n"
    "Error: Label \"Drums\" not used\n\n"
    "Line 10: Key[*,*]=Drumz\n"
    "Error: Label \"Drumz\" not found\n\n";

// The whole protocol of kTenLineExample loaded as `displayName`.
inline std::string TenLineProtocol(const std::string& displayName) {
  return "Veltrane Protocol\nFile: \"" + displayName + "\"\n\n" +
         kTenLineFindings + "Number of errors 4";
}

#endif  // VELTRANE_TESTS_TEN_LINE_EXAMPLE_H_
