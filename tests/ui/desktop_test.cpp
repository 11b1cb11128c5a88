#include <gtest/gtest.h>

#include "platform/desktop/app.h"
#include "platform/desktop/file_dialog.h"

namespace {

TEST(DesktopTest, AppNameIsProgramFileNameWithoutExtension) {
  const std::pair<std::string, std::string> cases[] = {
      {"/usr/bin/veltrane", "veltrane"},
      {"veltrane", "veltrane"},
      {"./build/bin/Veltrane.exe", "Veltrane"},
      {"/opt/my.tools/check.v2.bin", "check.v2"},
      {"/opt/.hidden", ".hidden"},
#ifdef _WIN32
      {"C:\\Program Files\\Veltrane\\veltrane.exe", "veltrane"},
      {"C:\\v1.0\\Veltrane", "Veltrane"},
#else
      // A backslash is part of a POSIX file name.
      {"/opt/a\\veltrane", "a\\veltrane"},
#endif
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(AppNameFromPath(path), name);
}

TEST(DesktopTest, ArgumentsJoinWithSingleBlanks) {
  const char* none[] = {"veltrane"};
  const char* two[] = {"veltrane", "My", "Synth.ins"};
  const char* blank[] = {"veltrane", "My Synth.ins", ""};
  EXPECT_EQ(JoinArguments(1, none), "");
  EXPECT_EQ(JoinArguments(3, two), "My Synth.ins");
  EXPECT_EQ(JoinArguments(3, blank), "My Synth.ins ");
}

TEST(DesktopTest, SaveDialogAppendsDefaultExtension) {
  struct Case {
    std::string path, ext, result;
  };
  const Case cases[] = {
      {"/tmp/protocol", "txt", "/tmp/protocol.txt"},
      {"/tmp/protocol.txt", "txt", "/tmp/protocol.txt"},
      {"/tmp/protocol.log", "txt", "/tmp/protocol.log"},
      {"/tmp/v1.0/protocol", "txt", "/tmp/v1.0/protocol.txt"},
      {"/tmp/protocol", "", "/tmp/protocol"},
      {"/tmp/", "txt", "/tmp/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AppendDefaultExtension(c.path, c.ext), c.result) << c.path;
  }
}

}  // namespace
