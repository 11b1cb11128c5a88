#include "ui/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(NormaliseCommandLineTest, Forms) {
  const std::string path259 = "/" + std::string(258, 'x');
  struct Case {
    std::string text;
    std::optional<std::string> path;
  };
  const Case cases[] = {
      {"\"D:\\Data\\My Synth.ins\"", "D:\\Data\\My Synth.ins"},
      {"/data/My \"Synth\".ins", "/data/My Synth.ins"},
      // Several arguments stay one path.
      {"/a.ins /b.ins", "/a.ins /b.ins"},
      {"  lead and trail  ", "  lead and trail  "},
      {"\"\"", ""},
      // No short names on this platform: the path is kept.
      {"/data/MYSYNT~1.INS", "/data/MYSYNT~1.INS"},
      {path259, path259},
      {"\"" + path259 + "\"", path259},
      {path259 + "x", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(NormaliseCommandLine(c.text), c.path);
  }
}

}  // namespace
