#include "checker/input_file.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_util.h"

namespace {

TEST(MakeDisplayNameTest, ShortensPastSeventyCharacters) {
  const std::string p70 = "/" + std::string(63, 'd') + "/x.ins";
  const std::string p71 = "/" + std::string(64, 'd') + "/x.ins";
  ASSERT_EQ(p70.size(), 70u);
  struct {
    std::string path, display;
  } cases[] = {
      {"", ""},
      {"a.ins", "a.ins"},
      {p70, p70},
      {p71, "..." + p71.substr(4)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MakeDisplayName(c.path), c.display);
    EXPECT_LE(MakeDisplayName(c.path).size(), 70u);
  }
}

TEST(OpenInputFileTest, OpensForReadingWithSharingDenied) {
  ScratchDir dir;
  const std::string path = dir.File("a.ins");
  WriteBytes(path, "[A]\r\n");
  bool opened = false;
  auto file = OpenInputFile(path, opened);
  ASSERT_TRUE(opened);
  std::string piece;
  ASSERT_TRUE(file->ReadString(piece));
  EXPECT_EQ(piece, "[A]\n");  // text mode

  CFileException error;
  auto second = OpenInputFile(path, opened, &error);
  EXPECT_FALSE(opened);
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
  // Reading only: nothing was written.
  file.reset();
  EXPECT_EQ(ReadBytes(path), "[A]\r\n");
}

TEST(OpenInputFileTest, TwoArgumentsRunTogetherAreOnePath) {
  ScratchDir dir;
  WriteBytes(dir.File("a.ins"), "");
  WriteBytes(dir.File("b.ins"), "");
  bool opened = true;
  OpenInputFile(dir.File("a.ins") + " " + dir.File("b.ins"), opened);
  EXPECT_FALSE(opened);
}

}  // namespace
