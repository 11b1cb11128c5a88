// The engine's stages one by one, on a generated 8 MB file: reading pieces,
// the two scanner passes, sorting, resolving and writing the protocol, and
// the whole check. Run by scripts/bench, never by the test suite.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "bench/ins_generator.h"
#include "checker/check_run.h"
#include "checker/line_source.h"
#include "checker/rules/lint.h"
#include "checker/protocol.h"
#include "checker/resolve.h"
#include "checker/scanner.h"

namespace {

constexpr std::uint64_t kInputBytes = 8 << 20;

std::string ScratchPath(const char* stem) {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern =
      std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) std::abort();
  ::close(fd);
  return pattern;
}

// The generated input, written once and removed at exit.
const std::string& InputPath() {
  static const std::string path = [] {
    std::string p = ScratchPath("veltrane-bench-input");
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) std::abort();
    GenerateIns(1, kInputBytes, [f](std::string_view piece) {
      std::fwrite(piece.data(), 1, piece.size(), f);
    });
    if (std::fclose(f) != 0) std::abort();
    std::atexit([] { ::unlink(InputPath().c_str()); });
    return p;
  }();
  return path;
}

std::uint64_t InputSize() {
  CFileStatus status;
  CFile::GetStatus(InputPath(), status);
  return status.m_size;
}

void Open(CStdioFile& file) {
  if (!file.Open(InputPath(), CFile::modeRead | CFile::typeText)) std::abort();
}

// The reader alone, as the scanner uses it (in place) and as ReadString
// hands pieces out (copied).
void BM_ReadPieces(benchmark::State& state) {
  const bool copied = state.range(0) != 0;
  CStdioFile file;
  Open(file);
  std::string copy;
  std::string_view piece;
  for (auto _ : state) {
    file.SeekToBegin();
    std::size_t pieces = 0;
    if (copied) {
      while (file.ReadString(copy)) ++pieces;
    } else {
      while (file.ReadPiece(piece)) ++pieces;
    }
    benchmark::DoNotOptimize(pieces);
  }
  state.SetBytesProcessed(state.iterations() * InputSize());
}
BENCHMARK(BM_ReadPieces)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One scanner pass, into a new list each time.
template <void (*Scan)(CStdioFile&, CLabelList&, const CCodePage&)>
void BM_Scan(benchmark::State& state) {
  CStdioFile file;
  Open(file);
  for (auto _ : state) {
    CLabelList labels;
    Scan(file, labels, CCodePage());
    benchmark::DoNotOptimize(labels.GetCount());
  }
  state.SetBytesProcessed(state.iterations() * InputSize());
}
BENCHMARK_TEMPLATE(BM_Scan, ScanDefinitions)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Scan, ScanReferences)->Unit(benchmark::kMillisecond);

// Both lists in one reading, as a check scans: in one pass (0), or as two
// halves at once (1), as a check scans a large file.
void BM_ScanLabels(benchmark::State& state) {
  const std::uint64_t splitFrom =
      state.range(0) != 0 ? 1 : std::numeric_limits<std::uint64_t>::max();
  CStdioFile file;
  Open(file);
  for (auto _ : state) {
    CLabelList definitions, references;
    ScanLabels(file, definitions, references, CCodePage(), splitFrom);
    benchmark::DoNotOptimize(definitions.GetCount() + references.GetCount());
  }
  state.SetBytesProcessed(state.iterations() * InputSize());
}
BENCHMARK(BM_ScanLabels)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The definitions in file order, to be sorted afresh in every iteration,
// byte by byte (0) or by the characters of a double-byte code page (932).
void BM_SortDefinitions(benchmark::State& state) {
  const CCodePage codePage =
      CCodePage::FromNumber(static_cast<int>(state.range(0))).value_or(CCodePage());
  CStdioFile file;
  Open(file);
  CLabelList scanned;
  ScanDefinitions(file, scanned);
  for (auto _ : state) {
    state.PauseTiming();
    CLabelList definitions;
    for (int j = 0; j < scanned.GetCount(); ++j) {
      const CLabelEntry& e = scanned.At(j);
      definitions.Add(e.name, e.line, e.Text(), e.kind);
    }
    state.ResumeTiming();
    definitions.Sort(codePage);
  }
  state.SetItemsProcessed(state.iterations() * scanned.GetCount());
}
BENCHMARK(BM_SortDefinitions)->Arg(0)->Arg(932)->Unit(benchmark::kMillisecond);

// Both lists of the input, scanned and sorted, resolved if asked.
struct ScannedLists {
  explicit ScannedLists(bool resolve) {
    CStdioFile file;
    Open(file);
    ScanLabels(file, definitions, references);
    definitions.Sort();
    if (resolve) ResolveReferences(definitions, references, CDefinitionIndex(definitions));
  }
  CLabelList definitions, references;
};

// Resolution only sets used flags, so running it again does the same work.
void BM_ResolveReferences(benchmark::State& state) {
  ScannedLists lists(false);
  for (auto _ : state) {
    const CDefinitionIndex index(lists.definitions);
    ResolveReferences(lists.definitions, lists.references, index);
  }
  state.SetItemsProcessed(state.iterations() * lists.references.GetCount());
}
BENCHMARK(BM_ResolveReferences)->Unit(benchmark::kMillisecond);

// Writing the protocol of the input's check through the text file.
void BM_WriteProtocol(benchmark::State& state) {
  CStdioFile file;
  Open(file);
  const CCheckResult result = CheckFile(file, CCheckOptions{CCodePage(), false});
  const std::string outPath = ScratchPath("veltrane-bench-protocol");
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    CStdioFile out;
    if (!out.Open(outPath, CFile::modeCreate | CFile::modeReadWrite)) std::abort();
    EmitProtocol(result, InputPath(), [&](std::string_view text) {
      bytes += text.size();
      out.WriteString(text);
    });
    out.Close();
  }
  ::unlink(outPath.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteProtocol)->Unit(benchmark::kMillisecond);

// The whole check as veltrane-check runs it, protocol text included.
void BM_CheckFile(benchmark::State& state) {
  for (auto _ : state) {
    auto input = std::make_unique<CStdioFile>();
    Open(*input);
    const CCheckedInput checked = CheckInputFile(input, CCheckOptions{SystemCodePage(), false});
    std::string text;
    EmitProtocol(checked.result, InputPath(),
                 [&](std::string_view piece) { text.append(piece); });
    benchmark::DoNotOptimize(text.size());
  }
  state.SetBytesProcessed(state.iterations() * InputSize());
}
BENCHMARK(BM_CheckFile)->Unit(benchmark::kMillisecond);


// The lines as the line rules read them, and the line rules themselves
// (every rule, one part and two parts at once).
void BM_LineSource(benchmark::State& state) {
  CStdioFile file;
  Open(file);
  for (auto _ : state) {
    CLineSource source(file);
    CSourceLine line;
    std::size_t lines = 0;
    while (source.Next(line)) ++lines;
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * InputSize());
}
BENCHMARK(BM_LineSource)->Unit(benchmark::kMillisecond);

// With every rule, in one part (0) or two at once (1), and taking the
// lists from the same reading (2, 3) as a check with rules does.
void BM_LintLines(benchmark::State& state) {
  CStdioFile file;
  Open(file);
  const CRuleSelection rules = SelectRules(std::vector<std::string>{"ALL"}, {});
  for (auto _ : state) {
    CCheckResult result;
    CRuleSink sink{result.ruleFindings, result.kept, result.codePage, result.lineEnd};
    std::vector<CSuppression> suppressions;
    CLabelList definitions, references;
    std::vector<CSectionHeader> headers;
    CLabelLists labels{definitions, references, headers};
    LintLines(file, rules, false, state.range(0) % 2 != 0, sink, suppressions,
              state.range(0) >= 2 ? &labels : nullptr);
    benchmark::DoNotOptimize(result.ruleFindings.size() + definitions.GetCount());
  }
  state.SetBytesProcessed(state.iterations() * InputSize());
}
BENCHMARK(BM_LintLines)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace
