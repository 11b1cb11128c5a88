// The engine for web pages: C functions that the JavaScript in
// engine_api.js wraps as rules(), check(), fix() and encode(). Each call
// leaves its outputs in one place until the next call: a JSON text of the
// findings and plain values, and pieces of bytes or UTF-16 text that are
// too large to go through JSON.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "checker/check.h"
#include "checker/finding_text.h"
#include "checker/fix/fix_apply.h"
#include "checker/input_file.h"
#include "checker/protocol.h"
#include "checker/rules/rule_config.h"
#include "checker/rules/rule_selection.h"
#include "cli/fix_bytes.h"
#include "cli/gnu_format.h"
#include "cli/rule_text.h"
#include "cli/sarif_format.h"
#include "cli/unified_diff.h"
#include "platform/code_page.h"
#include "platform/file.h"
#include "web/binding/text_codec.h"

namespace {

using json = nlohmann::ordered_json;

// What the last call left for the JavaScript side to read.
struct COutputs {
  std::string json;
  std::vector<std::string> bytes;
  std::vector<std::u16string> texts;
  std::vector<bool> escaped;  // whether each text holds a lone surrogate
  // The file's text is its bytes read as UTF-8, which the JavaScript side
  // decodes much faster than a copy made here.
  bool textIsUtf8 = false;
};
COutputs g_outputs;

// A request that cannot be served; its message is the page's to show.
class CRequestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a request asks to check a file with: as the command line would
// take it from the same options and veltrane.toml.
struct CSettings {
  std::string name;
  CCodePage codePage;
  CRuleSelection rules;
  int textCodePage = 1252;  // what the text is shown and encoded in
  bool unsafe = false;
  std::optional<std::vector<int>> only;
  // The outputs of a check besides its findings that the request wants:
  // a page checking again as the user types has the text already.
  bool sarif = true;
  bool text = true;
  bool protocol = true;
  bool gnu = true;
  // What the bytes are as UTF-8, where the code page was guessed from it.
  std::optional<Utf8Shape> shape;
};

std::vector<std::string> Patterns(const json& request, const char* key) {
  std::vector<std::string> patterns;
  if (!request.contains(key) || request[key].is_null()) return patterns;
  if (!request[key].is_array()) throw CRequestError(std::string(key) + " must be a list of rule ids");
  for (const json& item : request[key]) {
    if (!item.is_string()) throw CRequestError(std::string(key) + " must be a list of rule ids");
    const std::string id = item.get<std::string>();
    if (id.find_first_not_of(" \t,") == std::string::npos)
      throw CRequestError(std::string(key) + " has an empty rule id");
    if (const std::optional<std::string> unknown = AddPatterns(id, patterns))
      throw CRequestError("'" + *unknown + "' in " + key + " names no rule");
  }
  return patterns;
}

CCodePage PageOf(int number) {
  const std::optional<CCodePage> page = CCodePage::FromNumber(number);
  if (!page) throw CRequestError("unknown code page " + std::to_string(number));
  return *page;
}

CSettings ReadSettings(const json& request, std::string_view bytes) {
  CSettings settings;
  settings.name = request.value("name", std::string("untitled.ins"));
  if (settings.name.empty()) settings.name = "untitled.ins";
  CRuleConfig config;
  if (request.contains("toml") && request["toml"].is_string()) {
    try {
      config = ParseRuleConfig(request["toml"].get<std::string>(), std::string(kConfigFileName));
    } catch (const CConfigError& e) {
      throw CRequestError(e.what());
    }
  }
  const std::vector<std::string> select = Patterns(request, "select");
  const std::vector<std::string> ignore = Patterns(request, "ignore");
  settings.rules =
      SelectRulesFor(config, settings.name,
                     select.empty() ? std::nullopt : std::optional(select), ignore);
  // "auto": the command line's choice where no system code page exists,
  // unless veltrane.toml names one.
  std::optional<int> number;
  const json page = request.value("codePage", json("auto"));
  if (page.is_number_integer()) {
    number = page.get<int>();
  } else if (page.is_string() && page.get<std::string>() != "auto") {
    try {
      number = std::stoi(page.get<std::string>());
    } catch (const std::exception&) {
      throw CRequestError("unknown code page '" + page.get<std::string>() + "'");
    }
  }
  if (!number && config.codePage) number = *config.codePage;
  if (number) {
    settings.codePage = PageOf(*number);
    settings.textCodePage = *number;
  } else {
    settings.codePage = SystemCodePage();
    settings.shape = ShapeAsUtf8(bytes);
    settings.textCodePage = *settings.shape == Utf8Shape::wellFormed ? 65001 : 1252;
  }
  settings.unsafe = request.value("unsafe", false);
  settings.sarif = request.value("sarif", true);
  settings.text = request.value("text", true);
  settings.protocol = request.value("protocol", true);
  settings.gnu = request.value("gnu", true);
  if (request.contains("only") && request["only"].is_array())
    settings.only = request["only"].get<std::vector<int>>();
  return settings;
}

CCheckResult Check(std::string_view bytes, const CSettings& settings) {
  CCheckOptions options;
  options.codePage = settings.codePage;
  options.notes = true;
  options.rules = &settings.rules;
  return CheckBytes(bytes, options, settings.name);
}

// JSON text is written straight into a string: the findings of a large
// file are tens of thousands of objects, which a document tree would build
// and then walk again for nothing.

// Appends `text` as a JSON string. Bytes that start no well-formed UTF-8
// sequence become U+FFFD, as the SARIF log's writer makes them.
void AppendQuoted(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  // Characters that need nothing go in runs: one append per run, not one
  // call per character.
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
      ++i;
      continue;
    }
    const std::size_t length = c >= 0x80 ? Utf8SequenceLength(text.substr(i)) : 0;
    if (length) {
      i += length;
      continue;
    }
    out.append(text.substr(run, i - run));
    if (c >= 0x80) {
      out.append("\xEF\xBF\xBD");
      ++i;
    } else if (c == '"' || c == '\\') {
      const char escape[2] = {'\\', static_cast<char>(c)};
      out.append(escape, 2);
      ++i;
    } else {
      const char escape[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
      out.append(escape, 6);
      ++i;
    }
    run = i;
  }
  out.append(text.substr(run));
  out.push_back('"');
}

// `,"KEY":` and the number.
void AppendNumber(std::string& out, const char* key, std::size_t number) {
  out.append(",\"").append(key).append("\":").append(std::to_string(number));
}

// A place as the editor counts it: 0-based line, UTF-16 columns; nothing
// for a place that is none.
void AppendPlace(std::string& out, const CPlace& place, std::string_view bytes,
                 const CTextCodec& codec) {
  if (place.line <= 0 || place.lineOffset > bytes.size()) return;
  // The line as the editor splits lines; a name that runs on past its end
  // (a lead byte before CR reads as one character) ends with it.
  std::string_view line = bytes.substr(place.lineOffset);
  line = line.substr(0, std::min(line.find_first_of("\r\n"), line.size()));
  const std::size_t end = std::min<std::size_t>(place.end, line.size());
  const auto [start, stop] = codec.Columns(line, std::min<std::size_t>(place.begin, end), end);
  AppendNumber(out, "line", place.line - 1);
  AppendNumber(out, "start", start);
  AppendNumber(out, "end", stop);
}

void AppendNote(std::string& out, std::string_view message, const CPlace& place,
                std::string_view bytes, const CTextCodec& codec) {
  out.append("{\"message\":");
  AppendQuoted(out, message);
  AppendPlace(out, place, bytes, codec);
  out.push_back('}');
}

// The findings from `from` to `to` as a JSON list.
void AppendFindings(std::string& out, const CCheckResult& result, std::string_view bytes,
                    const CTextCodec& codec, std::size_t from, std::size_t to) {
  out.push_back('[');
  for (std::size_t index = from; index < to; ++index) {
    const CFinding& finding = *result.reported[index];
    const FindingRule& rule = finding.Rule();
    if (index > from) out.push_back(',');
    out.append("{\"index\":").append(std::to_string(index)).append(",\"rule\":");
    AppendQuoted(out, rule.id);
    out.append(",\"severity\":");
    AppendQuoted(out, SeverityName(rule.severity));
    out.append(",\"message\":");
    AppendQuoted(out, finding.message);
    AppendPlace(out, finding.place, bytes, codec);
    out.append(",\"notes\":[");
    if (finding.kind == FindingKind::duplicate)
      AppendNote(out, FirstDefinedMessage(result.codePage.ToUtf8(finding.name)), finding.firstPlace,
                 bytes, codec);
    if (finding.note) {
      if (finding.kind == FindingKind::duplicate) out.push_back(',');
      AppendNote(out, finding.note->message, finding.note->place, bytes, codec);
    }
    out.append("],\"fix\":");
    if (finding.fix) {
      out.append(finding.fix->safe ? "{\"safe\":true,\"title\":" : "{\"safe\":false,\"title\":");
      AppendQuoted(out, finding.fix->title);
      out.push_back('}');
    } else {
      out.append("null");
    }
    out.push_back('}');
  }
  out.push_back(']');
}

std::string GnuLines(const CSettings& settings, const CCheckResult& result) {
  std::string lines;
  for (const CNote& note : result.fileNotes)
    lines += FormatGnuFileNote(settings.name, note, result.codePage);
  for (const CFinding* finding : result.reported)
    lines += FormatGnuFinding(settings.name, *finding, result.codePage);
  return lines;
}

std::string ProtocolBytes(const CSettings& settings, const CCheckResult& result) {
  std::string protocol;
  EmitProtocol(result, MakeDisplayName(settings.name),
               [&](std::string_view piece) { protocol.append(piece); });
  return protocol;
}

// A check whose findings the JavaScript side reads in pieces: the JSON of
// half a million findings at once would take hundreds of megabytes here
// and again as a string there.
struct CFindingsSource {
  std::string_view bytes;  // the caller's, alive until it has read them all
  CTextCodec codec;
  CCheckResult result;
};
std::unique_ptr<CFindingsSource> g_findings;

// Whether the bytes read as UTF-8 are the text the codec makes of them:
// ASCII in any code page, well-formed UTF-8 in 65001.
bool ReadsAsUtf8(std::string_view bytes, const CTextCodec& codec, const CSettings& settings) {
  const Utf8Shape shape = settings.shape ? *settings.shape : ShapeAsUtf8(bytes);
  return shape == Utf8Shape::ascii || (shape == Utf8Shape::wellFormed && codec.Number() == 65001);
}

void RunCheck(std::string_view bytes, const json& request) {
  const CSettings settings = ReadSettings(request, bytes);
  g_findings.reset(
      new CFindingsSource{bytes, CTextCodec(settings.textCodePage), Check(bytes, settings)});
  const CTextCodec& codec = g_findings->codec;
  const CCheckResult& result = g_findings->result;
  std::string& out = g_outputs.json;
  out.append("{\"ok\":true");
  AppendNumber(out, "codePage", static_cast<std::size_t>(codec.Number()));
  out.append(",\"lineEnd\":");
  AppendQuoted(out, result.lineEnd);
  AppendNumber(out, "errors", static_cast<std::size_t>(result.ErrorCount()));
  out.append(",\"fileNotes\":[");
  for (const CNote& note : result.fileNotes) {
    if (&note != &result.fileNotes.front()) out.push_back(',');
    AppendNote(out, note.message, note.place, bytes, codec);
  }
  // The findings themselves come through vlt_findings().
  out.append("],\"findings\":[]}");
  // The SARIF log takes longer than the check of a large file: only when
  // asked for (as by default).
  std::string sarif;
  if (settings.sarif) {
    CSarifLog log;
    log.AddResults(settings.name, result);
    sarif = log.Text();
  }
  const std::string protocol = settings.protocol ? ProtocolBytes(settings, result) : "";
  g_outputs.bytes = {settings.gnu ? GnuLines(settings, result) : "", std::move(sarif), protocol};
  g_outputs.texts.resize(2);
  g_outputs.escaped.resize(2);
  bool escaped = false;
  if (settings.text) {
    // Without a decoder on its side (none of the browsers the page runs
    // in lacks one) the JavaScript side asks for the text made here.
    g_outputs.textIsUtf8 = request.value("utf8Decoder", false) && ReadsAsUtf8(bytes, codec, settings);
    if (!g_outputs.textIsUtf8) g_outputs.texts[0] = codec.Decode(bytes, &escaped);
  }
  g_outputs.escaped[0] = escaped;
  g_outputs.texts[1] = codec.Decode(protocol, &escaped);
  g_outputs.escaped[1] = escaped;
}

void RunFix(std::string_view bytes, const json& request) {
  const CSettings settings = ReadSettings(request, bytes);
  const CTextCodec codec(settings.textCodePage);
  std::string fixedBytes;
  int fixed = 0;
  if (settings.only) {
    // A quick fix: the fixes of the findings asked for, as one round.
    const CCheckResult result = Check(bytes, settings);
    std::vector<const CFinding*> chosen;
    for (const int index : *settings.only) {
      if (index < 0 || static_cast<std::size_t>(index) >= result.reported.size())
        throw CRequestError("no finding " + std::to_string(index) + " to fix");
      chosen.push_back(result.reported[index]);
    }
    CFixRound round = ApplyFixes(bytes, chosen, settings.unsafe);
    fixedBytes = std::move(round.text);
    fixed = round.fixed;
  } else {
    CFixOutcome outcome =
        FixInputBytes(bytes, settings.name, settings.rules, settings.codePage, settings.unsafe);
    fixedBytes = std::move(outcome.text);
    fixed = outcome.fixed;
  }
  const std::string diff = UnifiedDiff(settings.name, bytes, fixedBytes);
  const json out = {{"ok", true}, {"fixed", fixed}, {"codePage", codec.Number()}};
  g_outputs.json = out.dump(-1, ' ', false, json::error_handler_t::replace);
  g_outputs.bytes = {fixedBytes, diff};
  bool escaped = false;
  g_outputs.texts = {codec.Decode(diff, &escaped)};
  g_outputs.escaped = {escaped};
}

json RulesJson() {
  static constexpr const char* kPasses[] = {"crossReferences", "lineEntries", "lineKeys",
                                            "lineSections",    "lineForm",    "listsBasedOn",
                                            "lists",           "suppression"};
  std::vector<const FindingRule*> rules;
  for (const FindingRule& rule : FindingRules()) rules.push_back(&rule);
  std::sort(rules.begin(), rules.end(),
            [](const FindingRule* a, const FindingRule* b) { return a->id < b->id; });
  json list = json::array();
  for (const FindingRule* rule : rules) {
    list.push_back({{"id", std::string(rule->id)},
                    {"name", std::string(rule->name)},
                    {"severity", std::string(SeverityName(rule->severity))},
                    {"defaultOn", rule->onByDefault},
                    {"fix", std::string(FixAvailabilityName(rule->fix))},
                    {"summary", std::string(rule->shortText)},
                    {"description", std::string(rule->fullText)},
                    {"help", std::string(rule->help)},
                    {"explanation", ExplainText(*rule)},
                    {"example", std::string(rule->example)},
                    {"pass", kPasses[static_cast<int>(rule->pass)]}});
  }
  return list;
}

void Fail(const std::string& message) {
  g_outputs = {};
  g_outputs.json = json({{"ok", false}, {"error", message}})
                       .dump(-1, ' ', false, json::error_handler_t::replace);
}

// Runs `call`, turning whatever it throws into the page's message.
template <typename Call>
int Guarded(Call&& call) {
  g_outputs = {};
  try {
    call();
    return 1;
  } catch (const CRequestError& e) {
    Fail(e.what());
  } catch (const json::exception& e) {
    Fail(std::string("bad request: ") + e.what());
  } catch (const CFileException& e) {
    Fail(e.what());
  } catch (const std::bad_alloc&) {
    Fail("the file is too large for the memory this browser gives the page");
  } catch (const std::length_error&) {
    Fail("the file is too large for the memory this browser gives the page");
  } catch (const std::exception& e) {
    Fail(e.what());
  }
  return 0;
}

}  // namespace

extern "C" {

// The outputs of the last call.
EMSCRIPTEN_KEEPALIVE const char* vlt_json() { return g_outputs.json.c_str(); }
EMSCRIPTEN_KEEPALIVE std::size_t vlt_json_size() { return g_outputs.json.size(); }
EMSCRIPTEN_KEEPALIVE const char* vlt_bytes(int i) { return g_outputs.bytes.at(i).data(); }
EMSCRIPTEN_KEEPALIVE std::size_t vlt_bytes_size(int i) { return g_outputs.bytes.at(i).size(); }
EMSCRIPTEN_KEEPALIVE const char16_t* vlt_text(int i) { return g_outputs.texts.at(i).data(); }
EMSCRIPTEN_KEEPALIVE std::size_t vlt_text_size(int i) { return g_outputs.texts.at(i).size(); }
EMSCRIPTEN_KEEPALIVE int vlt_text_escaped(int i) { return g_outputs.escaped.at(i) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int vlt_text_is_utf8() { return g_outputs.textIsUtf8 ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void vlt_release() {
  g_outputs = {};
  g_findings.reset();
}

// After vlt_check: how many findings it made, and the JSON list of those
// from `from` on, at most `count` of them, in vlt_json().
EMSCRIPTEN_KEEPALIVE std::size_t vlt_finding_count() {
  return g_findings ? g_findings->result.reported.size() : 0;
}
EMSCRIPTEN_KEEPALIVE int vlt_findings(std::size_t from, std::size_t count) {
  return Guarded([&] {
    if (!g_findings) throw CRequestError("no check to read findings from");
    const std::size_t size = g_findings->result.reported.size();
    const std::size_t to = from + std::min(count, size - std::min(from, size));
    std::string& out = g_outputs.json;
    out.reserve(256 * (to - std::min(from, to)) + 2);
    AppendFindings(out, g_findings->result, g_findings->bytes, g_findings->codec,
                   std::min(from, to), to);
  });
}

EMSCRIPTEN_KEEPALIVE int vlt_rules() {
  return Guarded([] { g_outputs.json = RulesJson().dump(); });
}

// `request` is the JSON of the request's options, `bytes` the file.
EMSCRIPTEN_KEEPALIVE int vlt_check(const char* bytes, std::size_t size, const char* request) {
  return Guarded([&] { RunCheck(std::string_view(bytes, size), json::parse(request)); });
}

EMSCRIPTEN_KEEPALIVE int vlt_fix(const char* bytes, std::size_t size, const char* request) {
  return Guarded([&] { RunFix(std::string_view(bytes, size), json::parse(request)); });
}

// `text` of `length` UTF-16 units in code page `page`, line breaks as
// `lineEnd` ("" keeps them). The bytes, or where the first character the
// code page lacks stands.
EMSCRIPTEN_KEEPALIVE int vlt_encode(const char16_t* text, std::size_t length, int page,
                                    const char* lineEnd) {
  return Guarded([&] {
    const std::u16string_view units(text, length);
    if (page != 0) PageOf(page);
    const CTextCodec codec(page);
    std::string bytes;
    std::size_t bad = 0;
    if (codec.Encode(units, lineEnd, bytes, bad)) {
      g_outputs.json = json({{"ok", true}}).dump();
      g_outputs.bytes = {std::move(bytes)};
      return;
    }
    const std::size_t line =
        1 + std::count(units.begin(), units.begin() + bad, u'\n') +
        std::count(units.begin(), units.begin() + bad, u'\r') -
        [&] {
          // CR LF is one line break.
          std::size_t pairs = 0;
          for (std::size_t i = 0; i + 1 < bad; ++i)
            if (units[i] == u'\r' && units[i + 1] == u'\n') ++pairs;
          return pairs;
        }();
    std::uint32_t code = units[bad];
    if (code >= 0xD800 && code <= 0xDBFF && bad + 1 < length && units[bad + 1] >= 0xDC00 &&
        units[bad + 1] <= 0xDFFF)
      code = 0x10000 + ((code - 0xD800) << 10) + (units[bad + 1] - 0xDC00);
    std::string shown;
    if (code < 0xD800 || code > 0xDFFF) AppendUtf8(shown, code);
    char hex[16];
    std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(code));
    g_outputs.json = json({{"ok", false},
                           {"error", (shown.empty() ? std::string() : "'" + shown + "' (") + hex +
                                         (shown.empty() ? "" : ")") + " on line " +
                                         std::to_string(line) + " cannot be written in code page " +
                                         std::to_string(codec.Number())},
                           {"line", line},
                           {"offset", bad}})
                         .dump(-1, ' ', false, json::error_handler_t::replace);
  });
}

}  // extern "C"
