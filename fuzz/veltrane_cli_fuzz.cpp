// libFuzzer entry for veltrane-check: each input is a command line and the
// files it checks. The arguments come one to a line up to the first 0x1c
// byte (the ASCII file separator); after each 0x1c follows the content of
// one input file, saved as 1.ins, 2.ins, ... in a scratch folder where the
// command runs. A "/" or NUL in an argument becomes "_", so that every file
// the command reads or writes stays inside that folder; give libFuzzer
// absolute paths, since the working folder changes while an input runs.
//
// Besides crashes and sanitizer reports it stops when --format=gnu and the
// protocol of each input disagree on the findings, their count or the exit
// status; when the exit status is not 0, 1 or 2, or standard error does not
// match it; and when a file that no --output named changes, or one that did
// is replaced without --force although it was not empty.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "cli/check_command.h"
#include "fuzz/finding_lines.h"
#include "fuzz/promise.h"
#include "fuzz/scratch_folder.h"

namespace {

constexpr char kFileSeparator = '\x1c';
constexpr std::size_t kMaxArguments = 32;
constexpr std::size_t kMaxInputs = 8;

const ScratchFolder& Scratch() {
  static const ScratchFolder folder("veltrane-cli-fuzz");
  return folder;
}

struct CommandCase {
  std::vector<std::string> args;
  std::vector<std::string_view> inputs;
};

CommandCase ReadCase(std::string_view bytes) {
  CommandCase c;
  std::size_t end = bytes.find(kFileSeparator);
  std::string_view head = bytes.substr(0, end);
  while (!head.empty() && c.args.size() < kMaxArguments) {
    const std::size_t nl = std::min(head.find('\n'), head.size());
    std::string arg(head.substr(0, nl));
    std::replace(arg.begin(), arg.end(), '/', '_');
    std::replace(arg.begin(), arg.end(), '\0', '_');
    c.args.push_back(std::move(arg));
    head.remove_prefix(std::min(nl + 1, head.size()));
  }
  while (end != std::string_view::npos && c.inputs.size() < kMaxInputs) {
    const std::size_t next = bytes.find(kFileSeparator, end + 1);
    c.inputs.push_back(bytes.substr(end + 1, next == std::string_view::npos
                                                 ? std::string_view::npos
                                                 : next - end - 1));
    end = next;
  }
  return c;
}

std::string InputName(std::size_t index) { return std::to_string(index + 1) + ".ins"; }

// The command runs inside the scratch folder; the fuzzer's own folder comes
// back afterwards.
class InScratchFolder {
 public:
  InScratchFolder() : m_home(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (m_home < 0 || ::chdir(Scratch().path().c_str()) != 0)
      Violated("the scratch folder can be entered");
  }
  ~InScratchFolder() {
    if (::fchdir(m_home) != 0) Violated("the fuzzer's folder can be entered again");
    ::close(m_home);
  }
  InScratchFolder(const InScratchFolder&) = delete;
  InScratchFolder& operator=(const InScratchFolder&) = delete;

 private:
  int m_home;
};

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Drain(std::FILE* stream, char*& buffer, std::size_t& size) {
  std::fclose(stream);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

Outcome Run(const std::vector<std::string>& args) {
  char* outBuffer = nullptr;
  char* errBuffer = nullptr;
  std::size_t outSize = 0, errSize = 0;
  std::FILE* out = ::open_memstream(&outBuffer, &outSize);
  std::FILE* err = ::open_memstream(&errBuffer, &errSize);
  if (!out || !err) Violated("output streams can be made");
  Outcome outcome;
  outcome.status = RunCheckCommand(args, out, err);
  outcome.out = Drain(out, outBuffer, outSize);
  outcome.err = Drain(err, errBuffer, errSize);
  return outcome;
}

// What every run must show: a known status, and standard error holding one
// or more "veltrane-check: " lines exactly when it is a failure.
void CheckStatus(const Outcome& o) {
  Expect(o.status == kExitClean || o.status == kExitFindings || o.status == kExitFailure,
         "the exit status is 0, 1 or 2");
  if (o.status != kExitFailure) {
    Expect(o.err.empty(), "a run that does not fail says nothing on standard error");
    return;
  }
  Expect(!o.err.empty() && o.err.ends_with('\n'), "a failure is reported in whole lines");
  for (std::size_t at = 0; at < o.err.size(); at = o.err.find('\n', at) + 1)
    Expect(std::string_view(o.err).substr(at).starts_with("veltrane-check: "),
           "each failure line names the program");
}

// Options that change what is found, given to both formats alike.
std::vector<std::string> SharedOptions(const CommandCase& c) {
  std::vector<std::string> shared;
  for (const std::string& arg : c.args)
    if (arg.starts_with("--codepage=")) shared.push_back(arg);
  return shared;
}

// The code page the last --codepage option chooses.
CCodePage CodePageOf(const std::vector<std::string>& shared) {
  CCodePage codePage;
  for (const std::string& arg : shared) {
    int number = 0;
    const std::string_view value = std::string_view(arg).substr(std::strlen("--codepage="));
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (ec == std::errc() && end == value.data() + value.size())
      codePage = CCodePage::FromNumber(number).value_or(codePage);
  }
  return codePage;
}

// --format=gnu over all inputs against the protocol of each: the same
// findings, as many as the protocol counts, and the worst status.
void CompareFormats(const CommandCase& c) {
  const std::vector<std::string> shared = SharedOptions(c);
  std::vector<std::string> gnuArgs = {"--format=gnu", "--select=VLT1", "--no-config"};
  gnuArgs.insert(gnuArgs.end(), shared.begin(), shared.end());
  std::vector<Outcome> protocols;
  for (std::size_t k = 0; k < c.inputs.size(); ++k) {
    std::vector<std::string> args = shared;
    args.push_back(InputName(k));
    protocols.push_back(Run(args));
    CheckStatus(protocols.back());
    gnuArgs.push_back(InputName(k));
  }
  const Outcome gnu = Run(gnuArgs);
  CheckStatus(gnu);

  std::map<std::string, FindingLines> gnuFindings;
  std::vector<std::string> order;
  Expect(ReadGnuFindings(gnu.out, gnuFindings, order), "gnu output is finding and note lines");
  int worst = kExitClean;
  std::vector<std::string> expectedOrder;
  for (std::size_t k = 0; k < protocols.size(); ++k) {
    const Outcome& p = protocols[k];
    worst = std::max(worst, p.status);
    if (p.status == kExitFailure) {
      Expect(gnuFindings.count(InputName(k)) == 0, "gnu shows nothing of an input that fails");
      continue;
    }
    FindingLines findings;
    int count = -1;
    Expect(ReadProtocolFindings(p.out, InputName(k), findings, count, CodePageOf(shared)),
           "a protocol is whole");
    Expect(static_cast<int>(findings.size()) == count, "the protocol counts its findings");
    Expect((count > 0 ? kExitFindings : kExitClean) == p.status,
           "the protocol's status follows its count");
    // gnu lines come by place, the protocol's by kind.
    FindingLines gnuOfInput = gnuFindings[InputName(k)];
    std::sort(gnuOfInput.begin(), gnuOfInput.end());
    std::sort(findings.begin(), findings.end());
    Expect(gnuOfInput == findings, "gnu and the protocol find the same");
    if (count > 0) expectedOrder.push_back(InputName(k));
  }
  Expect(order == expectedOrder, "gnu lines come input after input");
  Expect(gnu.status == worst, "gnu's status is the worst of the inputs'");

  // Every rule on: each line is a finding that ends in its rule's id or a
  // note, and the status is that of the cross-references or worse.
  gnuArgs[1] = "--select=ALL";
  const Outcome all = Run(gnuArgs);
  CheckStatus(all);
  Expect(all.status >= gnu.status, "more rules find no less");
  std::string_view rest = all.out;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    Expect(end != std::string_view::npos, "gnu lines end");
    if (end == std::string_view::npos) break;
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    const bool finding = line.ends_with("]") && line.rfind(" [VLT") != std::string_view::npos;
    Expect(finding || line.find(": note: ") != std::string_view::npos,
           "a line is a finding with its rule id or a note");
  }
}

bool NamedAsOutput(const std::vector<std::string>& args, const std::string& name) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--output=" + name) return true;
    if ((args[i] == "--output" || args[i] == "-o") && i + 1 < args.size() &&
        args[i + 1] == name)
      return true;
  }
  return false;
}

bool HasForce(const std::vector<std::string>& args) {
  return std::find(args.begin(), args.end(), "--force") != args.end() ||
         std::find(args.begin(), args.end(), "-f") != args.end();
}

// The fuzzed command line itself; the inputs must come out of it as they
// went in unless an --output replaced them as it may.
void RunFuzzedCommand(const CommandCase& c) {
  CheckStatus(Run(c.args));
  for (std::size_t k = 0; k < c.inputs.size(); ++k) {
    if (ReadWholeFile(Scratch().File(InputName(k))) == c.inputs[k]) continue;
    Expect(NamedAsOutput(c.args, InputName(k)), "only an --output file is replaced");
    Expect(c.inputs[k].empty() || HasForce(c.args),
           "a file that is not empty is replaced only with --force");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CommandCase c = ReadCase(std::string_view(reinterpret_cast<const char*>(data), size));
  Scratch().Empty();
  for (std::size_t k = 0; k < c.inputs.size(); ++k)
    WriteWholeFile(Scratch().File(InputName(k)), c.inputs[k]);
  {
    InScratchFolder here;
    if (!c.inputs.empty()) CompareFormats(c);
    RunFuzzedCommand(c);
  }
  Scratch().Empty();
  return 0;
}
