#include "lsp/json_parse.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(JsonParseTest, BuildsWhatTheLibraryBuilds) {
  const char* bodies[] = {
      "null", "true", "-12", "18446744073709551615", "1.5e3", "\"\\u00e4\\ud834\\udd1e\"",
      "[]", "{}", "[[1,[2,[]]],{\"a\":[{\"b\":{}}]}]",
      R"({"jsonrpc":"2.0","id":1,"params":{"textDocument":{"text":"[A]\r\n","version":3},"x":[1,2,{"y":null}]}})",
      R"({"k":1,"k":2})",  // a later duplicate key wins
  };
  for (const char* body : bodies) {
    const auto parsed = ParseJson(body);
    ASSERT_TRUE(parsed) << body;
    EXPECT_EQ(*parsed, Json::parse(body)) << body;
  }
}

TEST(JsonParseTest, RefusesWhatIsNotOneValue) {
  const std::string bodies[] = {"", "{", "[1,]", "{\"a\" 1}", "1 2", "\"\xFF\"", "\"\\ud800\"",
                                std::string(100000, '[')};
  for (const std::string& body : bodies) EXPECT_FALSE(ParseJson(body)) << body.substr(0, 20);
}

TEST(JsonParseTest, DeepNestingNeitherOverflowsNorFails) {
  const std::string deep = std::string(200000, '[') + std::string(200000, ']');
  const auto parsed = ParseJson(deep);
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->is_array());
}

}  // namespace
