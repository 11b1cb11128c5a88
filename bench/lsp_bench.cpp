// The language server as an editor feels it: from a one-character
// didChange to its published diagnostics, on generated documents of 200 KB
// (as large as real files get) and 10 MB, in process (the pipe costs the
// same for every server and is left out). The server's memory is measured
// on the real program by bench/lsp_memory.py. Run by scripts/bench --lsp,
// never by the test suite.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/ins_generator.h"
#include "lsp/json.h"
#include "lsp/server.h"

namespace {

CFrame Message(const Json& message) {
  CFrame frame;
  frame.body = DumpJson(message);
  return frame;
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
    server.Receive(Message({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"},
                            {"params", {{"capabilities", Json::object()}}}}));
    server.Receive(Message({{"jsonrpc", "2.0"}, {"method", "textDocument/didOpen"},
                            {"params", {{"textDocument", {{"uri", "file:///big.ins"},
                                                          {"languageId", "ins"},
                                                          {"version", 1},
                                                          {"text", std::move(text)}}}}}}));
    server.Process();
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
    CFrame frame = Message({{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"},
                            {"params", {{"textDocument", {{"uri", "file:///big.ins"}, {"version", ++version}}},
                                        {"contentChanges", Json::array({change})}}}});
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

BENCHMARK(TypeOneCharacter)
    ->Arg(200 << 10)
    ->Arg(10 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace
