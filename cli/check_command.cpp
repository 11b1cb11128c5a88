#include "cli/check_command.h"

#include <cerrno>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <deque>
#include <optional>
#include <set>
#include <string_view>
#include <variant>

#include "checker/input_file.h"
#include "checker/protocol.h"
#include "checker/protocol_file.h"
#include "checker/rules/rule_config.h"
#include "cli/fix_command.h"
#include "cli/gnu_format.h"
#include "cli/rule_text.h"
#include "cli/sarif_format.h"
#include "platform/code_page.h"

namespace {

constexpr char kProgram[] = "veltrane-check";

constexpr char kUsage[] =
    "Usage: veltrane-check [--format=protocol] [--output PROTOCOL] [--force]\n"
    "                      [--codepage=N] INPUT\n"
    "       veltrane-check --format=gnu|sarif [--no-notes] [--codepage=N]\n"
    "                      [--select IDS] [--ignore IDS] [--config FILE | --no-config]\n"
    "                      INPUT...\n"
    "       veltrane-check --fix|--diff [--unsafe-fixes] [--no-notes] [--codepage=N]\n"
    "                      [--select IDS] [--ignore IDS] [--config FILE | --no-config]\n"
    "                      INPUT...\n"
    "       veltrane-check --list-rules | --explain ID\n"
    "\n"
    "Checks instrument definition files for duplicate labels, labels that\n"
    "nothing uses and references to labels that do not exist, and with\n"
    "--format=gnu or sarif for the other mistakes that sequencers swallow;\n"
    "with --fix, fixes what can be fixed.\n"
    "\n"
    "      --format=protocol  write the check protocol of INPUT (the default)\n"
    "      --format=gnu       write each finding of every INPUT as one line\n"
    "                         INPUT:LINE:COLUMN: warning|error: MESSAGE, and\n"
    "                         after it a note on the likely fix, if any\n"
    "      --format=sarif     write the findings of every INPUT as one SARIF\n"
    "                         2.1.0 log, notes as related locations\n"
    "      --no-notes         leave the notes out\n"
    "      --select IDS       report only these rules: ids or prefixes such as\n"
    "                         VLT3 or ALL, separated by commas\n"
    "      --ignore IDS       do not report these rules\n"
    "      --config FILE      read the rules to report from FILE instead of the\n"
    "                         first veltrane.toml in INPUT's folder or above\n"
    "      --no-config        read no veltrane.toml\n"
    "      --fix              apply the safe fixes of the reported findings to\n"
    "                         every INPUT in place, then write what remains as\n"
    "                         with --format=gnu and a line that counts the\n"
    "                         fixed and the remaining findings\n"
    "      --unsafe-fixes     with --fix or --diff, apply the fixes that guess\n"
    "                         too (a reference becomes the list it most likely\n"
    "                         means, a key the key it most likely is): review\n"
    "                         them\n"
    "      --diff             write what --fix would change as a unified diff\n"
    "                         and change no file\n"
    "      --list-rules       list every rule: id, name, severity, whether on\n"
    "      --explain ID       explain rule ID, with an example and its fix\n"
    "  -o, --output PROTOCOL  write the protocol to the file PROTOCOL instead\n"
    "                         of standard output\n"
    "  -f, --force            replace PROTOCOL when it exists and is not empty\n"
    "      --codepage=N       read names in code page N: 932, 936, 949 or 950\n"
    "                         (double-byte: a lead byte and its trail byte are\n"
    "                         one character) or a single-byte one such as 1252;\n"
    "                         the default is the system's ANSI code page on\n"
    "                         Windows and single-byte elsewhere\n"
    "      --help             show this help and exit\n"
    "      --version          show the version and exit\n"
    "\n"
    "Exit status: 0 when there are no findings (the protocol counts no\n"
    "errors; gnu and sarif report no error or warning, notes alone do not\n"
    "count), 1 when there are, 2 when an INPUT cannot be read, the protocol\n"
    "cannot be written, a veltrane.toml is wrong or the arguments are wrong.\n"
    "With --fix: 1 when an error or warning remains; with --diff: 1 when a\n"
    "file would change; 2 also when an INPUT cannot be written or changed\n"
    "while it was being fixed.\n";

enum class Format { protocol, gnu, sarif };

struct Options {
  Format format = Format::protocol;
  std::vector<std::string> inputs;
  std::optional<std::string> output;
  bool force = false;
  std::optional<CCodePage> codePage;
  bool notes = true;
  bool formatGiven = false;
  bool fix = false;
  bool unsafeFixes = false;
  bool diff = false;
  bool help = false;
  bool version = false;
  // The rules, for gnu and sarif.
  std::optional<std::vector<std::string>> select;
  std::vector<std::string> ignore;
  std::optional<std::string> config;
  bool noConfig = false;
  bool listRules = false;
  std::optional<std::string> explain;
};

// Reports one failure as a single line and returns the failure status.
int Fail(std::FILE* err, const std::string& message) {
  Complain(err, message);
  return kExitFailure;
}

// Whether a comma-separated list has an item of nothing but blanks.
bool HasEmptyItem(std::string_view list) {
  for (std::size_t start = 0;;) {
    const std::size_t comma = list.find(',', start);
    const std::string_view item = list.substr(start, comma - start);
    if (item.find_first_not_of(" \t") == std::string_view::npos) return true;
    if (comma == std::string_view::npos) return false;
    start = comma + 1;
  }
}

// Sets `format` from the value of --format; false when it names none.
bool ParseFormat(const std::string& value, Format& format) {
  if (value == "protocol") {
    format = Format::protocol;
  } else if (value == "gnu") {
    format = Format::gnu;
  } else if (value == "sarif") {
    format = Format::sarif;
  } else {
    return false;
  }
  return true;
}

// The code page --codepage names, or nullopt when `value` is not the number
// of one this program knows.
std::optional<CCodePage> ParseCodePage(const std::string& value) {
  int number = 0;
  const char* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data(), end, number);
  if (value.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return CCodePage::FromNumber(number);
}

// For an option written "--name VALUE" or "--name=VALUE": returns false
// when args[i] is not option `name`. Otherwise puts its value in `value`,
// moving `i` past a separate one, and sets `missing` when there is none.
bool TakeOptionValue(const std::vector<std::string>& args, std::size_t& i,
                     std::string_view name, std::string& value, bool& missing) {
  const std::string_view arg = args[i];
  missing = false;
  if (arg == name) {
    missing = i + 1 == args.size();
    value = missing ? std::string() : args[++i];
    return true;
  }
  if (!arg.starts_with(name) || arg.size() == name.size() || arg[name.size()] != '=')
    return false;
  value = arg.substr(name.size() + 1);
  return true;
}

// Parses `args` into `options`; returns an error message, empty on success.
std::string ParseArguments(const std::vector<std::string>& args,
                           Options& options) {
  bool optionsEnded = false;
  std::vector<std::string>& inputs = options.inputs;
  std::string value;
  bool missing = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      inputs.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--no-notes") {
      options.notes = false;
    } else if (arg == "--fix") {
      options.fix = true;
    } else if (arg == "--unsafe-fixes") {
      options.unsafeFixes = true;
    } else if (arg == "--diff") {
      options.diff = true;
    } else if (arg == "--force" || arg == "-f") {
      options.force = true;
    } else if (arg == "--output" || arg == "-o") {
      if (i + 1 == args.size()) return "option '" + arg + "' needs a file name";
      options.output = args[++i];
    } else if (arg.starts_with("--output=")) {
      options.output = arg.substr(std::strlen("--output="));
    } else if (TakeOptionValue(args, i, "--format", value, missing)) {
      if (missing) return "option '--format' needs a format";
      if (!ParseFormat(value, options.format))
        return "unknown format '" + value + "' (protocol, gnu or sarif)";
      options.formatGiven = true;
    } else if (arg == "--list-rules") {
      options.listRules = true;
    } else if (arg == "--no-config") {
      options.noConfig = true;
    } else if (TakeOptionValue(args, i, "--select", value, missing) ||
               TakeOptionValue(args, i, "--ignore", value, missing)) {
      const bool select = arg.starts_with("--select");
      const char* name = select ? "--select" : "--ignore";
      // An empty list would select nothing or ignore nothing without a word.
      if (missing || value.find_first_not_of(" \t,") == std::string::npos)
        return std::string("option '") + name + "' needs rule ids";
      // "VLT1,,VLT2" is most often a rule id lost on the way.
      if (HasEmptyItem(value))
        return std::string("option '") + name + "' has an empty rule id in '" + value + "'";
      std::vector<std::string>& patterns =
          select ? (options.select ? *options.select : options.select.emplace()) : options.ignore;
      if (const std::optional<std::string> unknown = AddPatterns(value, patterns))
        return "'" + *unknown + "' in " + name + " names no rule; see --list-rules";
    } else if (TakeOptionValue(args, i, "--config", value, missing)) {
      if (missing || value.empty()) return "option '--config' needs a file name";
      options.config = value;
    } else if (TakeOptionValue(args, i, "--explain", value, missing)) {
      if (missing) return "option '--explain' needs a rule id";
      if (!FindRule(value)) return "'" + value + "' is no rule id; see --list-rules";
      options.explain = value;
    } else if (TakeOptionValue(args, i, "--codepage", value, missing)) {
      if (missing) return "option '--codepage' needs a code page number";
      options.codePage = ParseCodePage(value);
      if (!options.codePage)
        return "unknown code page '" + value +
               "' (932, 936, 949, 950 or a single-byte one such as 1252)";
    } else {
      return "unknown option '" + arg + "'";
    }
  }
  if (options.help || options.version || options.listRules || options.explain) return {};
  if (options.config && options.noConfig) return "--config and --no-config exclude each other";
  if (options.fix && options.diff)
    return "--fix and --diff exclude each other: --diff shows what --fix would write";
  if (options.unsafeFixes && !options.fix && !options.diff)
    return "--unsafe-fixes goes with --fix or --diff";
  // Fixing never writes a protocol: the protocol reports the file as it is.
  if (options.fix || options.diff) {
    if (options.formatGiven && options.format != Format::gnu)
      return "--fix and --diff go with --format=gnu only";
    options.format = Format::gnu;
  }
  if (options.format == Format::protocol) {
    // The protocol shows the three cross-references as they always were.
    if (options.select) return "--select goes with --format=gnu or --format=sarif";
    if (!options.ignore.empty()) return "--ignore goes with --format=gnu or --format=sarif";
    if (options.config || options.noConfig)
      return "veltrane.toml and its options go with --format=gnu or --format=sarif";
  }
  if (options.format != Format::protocol) {
    if (options.output) return "--output goes with --format=protocol only";
    if (options.force) return "--force goes with --format=protocol only";
    if (inputs.empty()) return "no input file given";
    return {};
  }
  if (options.output && options.output->empty())
    return "the protocol file name is empty";
  if (inputs.empty()) return "no input file given";
  if (inputs.size() > 1)
    return "more than one input file given; --format=gnu or --format=sarif "
           "checks several files";
  return {};
}

// The check of `input` as the options ask for it, reporting `rules` when
// given; `codePage` is a configuration's, which --codepage overrides.
std::variant<CCheckedInput, CFileException> CheckInput(
    const std::string& input, const Options& options, const CRuleSelection* rules = nullptr,
    std::optional<CCodePage> codePage = std::nullopt) {
  CCheckOptions check{options.codePage.value_or(codePage.value_or(SystemCodePage())),
                      options.format != Format::protocol && options.notes};
  check.rules = rules;
  return CheckInputPath(input, check);
}

// Writes the protocol to `path` with the dialog's overwrite rules, --force
// standing for the user's Yes.
int WriteToFile(const CCheckedInput& checked, const std::string& displayName,
                const std::string& path, bool force, std::FILE* err) {
  std::unique_ptr<CStdioFile> protocolFile;
  CFileException openError;
  const ProtocolFileOutcome outcome =
      WriteProtocolFile(path, checked.result, displayName, checked.Status(),
                        [force] { return force; }, protocolFile, openError);
  switch (outcome) {
    case ProtocolFileOutcome::written:
      return checked.result.ErrorCount() > 0 ? kExitFindings : kExitClean;
    case ProtocolFileOutcome::overwriteRefused:
      return Fail(err, path +
                           ": file exists and is not empty; use --force to "
                           "replace it");
    case ProtocolFileOutcome::sameAsInput:
      return Fail(err, path + ": is the input file; choose another protocol "
                              "file");
    case ProtocolFileOutcome::openFailed:
      break;
  }
  return Fail(err, openError.what());
}

int WriteToStream(const CCheckedInput& checked, const std::string& displayName, std::FILE* out,
                  std::FILE* err) {
  const int errors = EmitProtocol(checked.result, displayName, [out](std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out);
  });
  if (std::fflush(out) != 0 || std::ferror(out)) {
    return Fail(err, std::string("standard output: ") + std::strerror(errno));
  }
  return errors > 0 ? kExitFindings : kExitClean;
}

// The configurations of the inputs of one run, each file read once.
class ConfigCache {
 public:
  explicit ConfigCache(const Options& options) : m_options(options) {}

  // The configuration that applies to `input`. Throws CConfigError.
  const CRuleConfig& For(const std::string& input) {
    if (m_options.noConfig) return m_none;
    const std::string path = m_options.config ? *m_options.config : FindRuleConfig(input);
    if (path.empty()) return m_none;
    for (const CRuleConfig& config : m_read)
      if (config.path == path) return config;
    m_read.push_back(LoadRuleConfig(path));
    return m_read.back();
  }

  // The rules and the code page for `input`: the command line's, else its
  // configuration's. Throws CConfigError.
  CInputRules RulesFor(const std::string& input) {
    const CRuleConfig& config = For(input);
    CInputRules rules{SelectRulesFor(config, input, m_options.select, m_options.ignore),
                      m_options.codePage};
    if (!rules.codePage && config.codePage) rules.codePage = CCodePage::FromNumber(*config.codePage);
    return rules;
  }

 private:
  const Options& m_options;
  const CRuleConfig m_none;
  std::deque<CRuleConfig> m_read;
};

int CheckToProtocol(const Options& options, std::FILE* out, std::FILE* err) {
  const std::string& input = options.inputs.front();
  const auto checked = CheckInput(input, options);
  if (const auto* error = std::get_if<CFileException>(&checked)) return Fail(err, error->what());
  const CCheckedInput& result = std::get<CCheckedInput>(checked);
  const std::string displayName = MakeDisplayName(input);
  try {
    if (options.output)
      return WriteToFile(result, displayName, *options.output, options.force, err);
    return WriteToStream(result, displayName, out, err);
  } catch (const CFileException& e) {
    return Fail(err, e.what());
  }
}

// What a format of many inputs does with each checked input, and with
// each input that cannot be read.
class FindingReporter {
 public:
  virtual ~FindingReporter() = default;
  virtual void OnChecked(const std::string& input, const CCheckResult& result) = 0;
  virtual void OnUnreadable(const std::string& input, std::string_view message) = 0;
};

class GnuReporter : public FindingReporter {
 public:
  explicit GnuReporter(std::FILE* out) : m_out(out) {}
  void OnChecked(const std::string& input, const CCheckResult& result) override {
    std::string lines;
    for (const CNote& note : result.fileNotes)
      lines += FormatGnuFileNote(input, note, result.codePage);
    for (const CFinding* finding : result.reported) {
      lines += FormatGnuFinding(input, *finding, result.codePage);
      if (lines.size() >= 64 * 1024) Flush(lines);
    }
    Flush(lines);
  }
  void OnUnreadable(const std::string&, std::string_view) override {}

 private:
  void Flush(std::string& lines) {
    std::fwrite(lines.data(), 1, lines.size(), m_out);
    lines.clear();
  }

  std::FILE* m_out;
};

class SarifReporter : public FindingReporter {
 public:
  explicit SarifReporter(CSarifLog& log) : m_log(log) {}
  void OnChecked(const std::string& input, const CCheckResult& result) override {
    m_log.AddResults(input, result);
  }
  void OnUnreadable(const std::string& input, std::string_view message) override {
    m_log.AddUnreadable(input, message);
  }

 private:
  CSarifLog& m_log;
};

// Every input is checked even when an earlier one fails, so that one run
// reports all there is to report. Standard output is flushed after each
// input so that its lines and those on standard error keep their order.
int ReportFindings(const Options& options, FindingReporter& reporter,
                   std::FILE* out, std::FILE* err) {
  bool anyFailed = false;
  bool anyFinding = false;
  ConfigCache configs(options);
  std::set<std::string> toldConfigErrors;
  for (const std::string& input : options.inputs) {
    CInputRules rules;
    try {
      rules = configs.RulesFor(input);
    } catch (const CConfigError& e) {
      // One veltrane.toml serves many inputs: its error is told once.
      if (toldConfigErrors.insert(e.what()).second) Fail(err, e.what());
      reporter.OnUnreadable(input, e.what());
      anyFailed = true;
      continue;
    }
    const auto checked = CheckInput(input, options, &rules.rules, rules.codePage);
    if (const auto* error = std::get_if<CFileException>(&checked)) {
      Fail(err, error->what());
      reporter.OnUnreadable(input, error->what());
      anyFailed = true;
      continue;
    }
    const CCheckResult& result = std::get<CCheckedInput>(checked).result;
    reporter.OnChecked(input, result);
    if (result.ReportsErrorsOrWarnings()) anyFinding = true;
    if (std::fflush(out) != 0 || std::ferror(out)) {
      return Fail(err, std::string("standard output: ") + std::strerror(errno));
    }
  }
  if (anyFailed) return kExitFailure;
  return anyFinding ? kExitFindings : kExitClean;
}

int CheckToGnuLines(const Options& options, std::FILE* out, std::FILE* err) {
  GnuReporter reporter(out);
  return ReportFindings(options, reporter, out, err);
}

// The log is whole even when inputs fail: they become notifications.
int CheckToSarifLog(const Options& options, std::FILE* out, std::FILE* err) {
  CSarifLog log;
  SarifReporter reporter(log);
  const int status = ReportFindings(options, reporter, out, err);
  const std::string text = log.Text();
  std::fwrite(text.data(), 1, text.size(), out);
  if (std::fflush(out) != 0 || std::ferror(out)) {
    return Fail(err, std::string("standard output: ") + std::strerror(errno));
  }
  return status;
}

// One line a rule, in id order: id, name, severity, on or off by default,
// and its one-line description.
int ListRules(std::FILE* out) {
  std::vector<const FindingRule*> rules;
  for (const FindingRule& rule : FindingRules()) rules.push_back(&rule);
  std::sort(rules.begin(), rules.end(),
            [](const FindingRule* a, const FindingRule* b) { return a->id < b->id; });
  for (const FindingRule* rule : rules) {
    std::fprintf(out, "%.*s  %-22.*s %-8.*s %-4s %.*s\n", static_cast<int>(rule->id.size()),
                 rule->id.data(), static_cast<int>(rule->name.size()), rule->name.data(),
                 static_cast<int>(SeverityName(rule->severity).size()),
                 SeverityName(rule->severity).data(), rule->onByDefault ? "on" : "off",
                 static_cast<int>(rule->shortText.size()), rule->shortText.data());
  }
  return std::fflush(out) == 0 ? kExitClean : kExitFailure;
}

int ExplainRule(const FindingRule& rule, std::FILE* out) {
  std::fputs(ExplainText(rule).c_str(), out);
  return std::fflush(out) == 0 ? kExitClean : kExitFailure;
}

}  // namespace

void Complain(std::FILE* err, const std::string& message) {
  std::fprintf(err, "%s: %s\n", kProgram, message.c_str());
}

int RunCheckCommand(const std::vector<std::string>& args, std::FILE* out,
                    std::FILE* err) {
  Options options;
  const std::string problem = ParseArguments(args, options);
  if (!problem.empty()) {
    return Fail(err, problem + "; try '" + kProgram + " --help'");
  }
  if (options.help) {
    std::fputs(kUsage, out);
    return std::fflush(out) == 0 ? kExitClean : kExitFailure;
  }
  if (options.version) {
    std::fprintf(out, "%s %s\n", kProgram, VELTRANE_VERSION);
    return std::fflush(out) == 0 ? kExitClean : kExitFailure;
  }
  if (options.listRules) return ListRules(out);
  if (options.explain) return ExplainRule(*FindRule(*options.explain), out);
  if (options.fix || options.diff) {
    ConfigCache configs(options);
    const auto rulesFor = [&](const std::string& input) { return configs.RulesFor(input); };
    return RunFixCommand(CFixRequest{options.inputs, rulesFor, options.notes, options.unsafeFixes,
                                     options.diff},
                         out, err);
  }
  if (options.format == Format::gnu) return CheckToGnuLines(options, out, err);
  if (options.format == Format::sarif) return CheckToSarifLog(options, out, err);
  return CheckToProtocol(options, out, err);
}
