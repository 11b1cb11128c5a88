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
    EXPECT_FALSE(parsed->tooDeep) << body;
    EXPECT_EQ(parsed->value, Json::parse(body)) << body;
  }
}

TEST(JsonParseTest, RefusesWhatIsNotOneValue) {
  const std::string bodies[] = {"", "{", "[1,]", "{\"a\" 1}", "1 2", "\"\xFF\"", "\"\\ud800\"",
                                std::string(100000, '[')};
  for (const std::string& body : bodies) EXPECT_FALSE(ParseJson(body)) << body.substr(0, 20);
}

// `inner` inside `depth` arrays.
std::string Nest(std::size_t depth, const std::string& inner) {
  return std::string(depth, '[') + inner + std::string(depth, ']');
}

TEST(JsonParseTest, DeepNestingIsReadThroughNotBuilt) {
  const std::string deep = std::string(200000, '[') + std::string(200000, ']');
  const std::string limit = std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']');
  const std::string over = "[" + limit + "]";
  struct Case {
    std::string body;
    bool tooDeep;
    Json value;  // what is built
  } cases[] = {
      {limit, false, Json::parse(limit)},
      {over, true, Json::parse(Nest(kMaxJsonDepth, "null"))},
      {"[" + deep + "]", true, Json::parse(Nest(kMaxJsonDepth, "null"))},
      // What stands beside the deep value is kept: the id still answers.
      {R"({"id":7,"params":{"settings":)" + deep + R"(,"after":{"a":[1]}},"method":"m"})", true,
       Json::parse(R"({"id":7,"params":{"settings":)" + Nest(kMaxJsonDepth - 2, "null") +
                   R"(,"after":{"a":[1]}},"method":"m"})")},
      {"{\"a\":" + std::string(300, '[') + "{\"b\":1}" + std::string(300, ']') + ",\"c\":2}", true,
       Json::parse("{\"a\":" + Nest(kMaxJsonDepth - 1, "null") + ",\"c\":2}")},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseJson(c.body);
    ASSERT_TRUE(parsed) << c.body.substr(0, 40);
    EXPECT_EQ(parsed->tooDeep, c.tooDeep) << c.body.substr(0, 40);
    EXPECT_EQ(parsed->value, c.value) << c.body.substr(0, 40);
  }
  // More values than allowed, wide rather than deep: the message's own
  // members that are no containers stay, for the answer.
  std::string many = R"({"jsonrpc":"2.0","params":{"a":[)";
  for (std::size_t i = 0; i < kMaxJsonValues; ++i) many += "[],";
  many += R"(1],"b":{"c":2}},"id":9,"x":[3],"method":"m"})";
  const auto wide = ParseJson(many);
  ASSERT_TRUE(wide);
  EXPECT_TRUE(wide->tooMany);
  EXPECT_FALSE(wide->tooDeep);
  EXPECT_EQ(wide->value["id"], 9);
  EXPECT_EQ(wide->value["method"], "m");
  EXPECT_TRUE(wide->value["x"].is_null());
  EXPECT_EQ(wide->value["params"]["a"].size(), kMaxJsonValues - 4);  // root, jsonrpc, params, a
  EXPECT_FALSE(ParseJson(std::string(kMaxJsonValues, '[') + "]")) << "unfinished";
  // An unfinished deep value is still no JSON.
  EXPECT_FALSE(ParseJson(deep.substr(0, 300000)));
}

}  // namespace
