// The language server as an editor feels it: from a one-character
// didChange to its published diagnostics, on generated documents of 200 KB
// (as large as real files get) and 10 MB, and from a replace-all's one
// didChange of thousands of changes on a 1 MB document to its diagnostics,
// in process (the pipe costs the same for every server and is left out). The server's memory is measured
// on the real program by bench/lsp_memory.py. Run by scripts/bench --lsp,
// never by the test suite.
#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

#include "bench/ins_generator.h"
#include "lsp/json.h"
#include "lsp/server.h"

namespace {

CFrame Message(const Json& message) {
  CFrame frame;
  frame.body = DumpJson(message);
  return frame;
}

// Initializes `server` and opens `text` as file:///big.ins.
void OpenDocument(CLspServer& server, std::string text) {
  server.Receive(Message({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"},
                          {"params", {{"capabilities", Json::object()}}}}));
  server.Receive(Message({{"jsonrpc", "2.0"}, {"method", "textDocument/didOpen"},
                          {"params", {{"textDocument", {{"uri", "file:///big.ins"},
                                                        {"languageId", "ins"},
                                                        {"version", 1},
                                                        {"text", std::move(text)}}}}}}));
  server.Process();
}

CFrame ChangeMessage(std::int64_t version, const Json& changes) {
  return Message({{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"},
                  {"params", {{"textDocument", {{"uri", "file:///big.ins"}, {"version", version}}},
                              {"contentChanges", changes}}}});
}

void TypeOneCharacter(benchmark::State& state) {
  const auto bytes = static_cast<std::uint64_t>(state.range(0));
  std::size_t published = 0;
  std::size_t diagnostics = 0;
  CLspServer server(
      [&](const std::string& body) {
        ++published;
        diagnostics = body.size();
      },
      {}, "bench");
  std::size_t textSize = 0;
  {
    std::string text = GenerateInsText(1, bytes);
    textSize = text.size();
    OpenDocument(server, std::move(text));
  }
  // Typing a character into a list name in the middle of the file, then
  // taking it back: the document stays the same size.
  const Json at = {{"line", 400}, {"character", 3}};
  const Json after = {{"line", 400}, {"character", 4}};
  std::int64_t version = 1;
  bool insert = true;
  for (auto _ : state) {
    state.PauseTiming();
    const Json change = insert ? Json{{"range", {{"start", at}, {"end", at}}}, {"text", "x"}}
                               : Json{{"range", {{"start", at}, {"end", after}}}, {"text", ""}};
    CFrame frame = ChangeMessage(++version, Json::array({change}));
    insert = !insert;
    const std::size_t publishedBefore = published;
    state.ResumeTiming();
    server.Receive(frame);
    server.Process();
    if (published != publishedBefore + 1) state.SkipWithError("no diagnostics published");
  }
  state.counters["doc_MB"] = static_cast<double>(textSize) / 1e6;
  state.counters["diagnostics_KB"] = static_cast<double>(diagnostics) / 1e3;
}

// A replace-all: one didChange with `count` changes spread over a 1 MB
// document, last first as editors send them. Each puts a line's first byte
// back as it was, so every round starts from the same text.
void ReplaceAll(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  std::size_t published = 0;
  CLspServer server([&](const std::string&) { ++published; }, {}, "bench");
  const std::string text = GenerateInsText(1, 1 << 20);
  std::vector<std::pair<std::size_t, char>> firsts;  // (line, first byte)
  std::size_t line = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool lineStart = i == 0 || text[i - 1] == '\n';
    if (i > 0 && lineStart) ++line;
    if (lineStart && text[i] != '\r' && text[i] != '\n') firsts.emplace_back(line, text[i]);
  }
  OpenDocument(server, text);
  Json changes = Json::array();
  for (std::size_t k = count; k-- > 0;) {
    const auto& [at, byte] = firsts[k * firsts.size() / count];
    changes.push_back({{"range", {{"start", {{"line", at}, {"character", 0}}},
                                  {"end", {{"line", at}, {"character", 1}}}}},
                       {"text", std::string(1, byte)}});
  }
  std::int64_t version = 1;
  for (auto _ : state) {
    state.PauseTiming();
    CFrame frame = ChangeMessage(++version, changes);
    const std::size_t publishedBefore = published;
    state.ResumeTiming();
    server.Receive(frame);
    server.Process();
    if (published != publishedBefore + 1) state.SkipWithError("no diagnostics published");
  }
  state.counters["changes"] = static_cast<double>(count);
}

BENCHMARK(ReplaceAll)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK(TypeOneCharacter)
    ->Arg(200 << 10)
    ->Arg(10 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace
