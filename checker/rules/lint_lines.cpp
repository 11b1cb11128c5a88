// The line rules: one pass over the lines as loaders read them, keeping
// only the state of the list or instrument at hand.
#include <algorithm>
#include <cerrno>
#include <array>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <functional>
#include <list>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "checker/blanks.h"
#include "checker/both_at_once.h"
#include "checker/notes/edit_distance.h"
#include "checker/finding_text.h"
#include "checker/label_collector.h"
#include "checker/line_source.h"
#include "checker/fix/reference_fix.h"
#include "checker/rules/lint.h"
#include "checker/scanner.h"

namespace {

constexpr std::uint64_t kLargestBank = 16383;
constexpr std::uint64_t kLargestProgram = 127;
// Numbers of more digits than this are out of every range; reading them
// stops here so that they never overflow.
constexpr std::size_t kMostDigits = 9;

// The keys of an instrument that programs know.
enum class Key {
  patch, key, drum, control, rpn, nrpn, basedOn, bankSelMethod, useNotesAsControllers,
  usesNotesAsControllers,
};
struct KnownKey {
  std::string_view name;
  Key key;
  int bracketParts;  // 0: none; Patch[BANK]: 1; Key[BANK,PROGRAM]: 2
};
constexpr std::array<KnownKey, 10> kKnownKeys = {{
    {"Patch", Key::patch, 1},
    {"Key", Key::key, 2},
    {"Drum", Key::drum, 2},
    {"Control", Key::control, 0},
    {"RPN", Key::rpn, 0},
    {"NRPN", Key::nrpn, 0},
    {"BasedOn", Key::basedOn, 0},
    {"BankSelMethod", Key::bankSelMethod, 0},
    {"UseNotesAsControllers", Key::useNotesAsControllers, 0},
    {"UsesNotesAsControllers", Key::usesNotesAsControllers, 0},
}};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of decimal digits, or nullopt past kMostDigits of them.
std::optional<std::uint64_t> NumberOf(std::string_view digits) {
  const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
  if (digits.size() - first > kMostDigits) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits.substr(first)) value = value * 10 + static_cast<unsigned>(c - '0');
  return value;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// A bank or program part of a key's brackets: "*" (`any`) or a number up
// to `largest`; nothing for any other.
std::optional<std::uint32_t> PartValue(std::string_view part, std::uint64_t largest,
                                       std::uint32_t any) {
  if (part == "*") return any;
  if (part.empty() || !std::all_of(part.begin(), part.end(), IsDigit)) return std::nullopt;
  const std::optional<std::uint64_t> value = NumberOf(part);
  if (!value || *value > largest) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

// A key line of an instrument taken apart.
struct KeyLine {
  std::string_view name;   // before "[" or "="
  const KnownKey* known = nullptr;
  std::optional<std::size_t> equals;  // where its "=" stands
  std::string_view value;  // after the "="
  // For duplicates: the key and its bank and program, as one number that
  // is never 0 (see Identity); IdentityText gives "Patch[42]", "Control".
  std::uint32_t identity = 0;
  std::optional<MalformedKeyReason> malformed;
};

// A bank or a program written "*".
constexpr std::uint32_t kAnyBank = kLargestBank + 1;
constexpr std::uint32_t kAnyProgram = kLargestProgram + 1;

std::uint32_t Identity(std::size_t known, std::uint32_t bank, std::uint32_t program) {
  return static_cast<std::uint32_t>(known + 1) << 24 | bank << 8 | program;
}

// How people write the key `identity` stands for.
std::string IdentityText(std::uint32_t identity) {
  // Both spellings of UseNotesAsControllers have the first's number.
  const KnownKey& known = kKnownKeys[(identity >> 24) - 1];
  std::string text(known.name);
  const auto part = [](std::uint32_t value, std::uint32_t any) {
    return value == any ? std::string("*") : std::to_string(value);
  };
  if (known.bracketParts >= 1) text += "[" + part(identity >> 8 & 0x7FFF, kAnyBank);
  if (known.bracketParts == 2) text += "," + part(identity & 0xFF, kAnyProgram);
  if (known.bracketParts >= 1) text += "]";
  return text;
}

// The first `c` in `text` from `from` on, as a character of `codePage`
// (never the second byte of a double-byte one), or npos.
std::size_t FindFrom(std::string_view text, char c, std::size_t from, const CCodePage& codePage) {
  if (from > text.size()) return std::string_view::npos;
  const std::size_t at = codePage.Find(text.substr(from), c);
  return at == std::string_view::npos ? at : from + at;
}

KeyLine ReadKeyLine(std::string_view text, const CCodePage& codePage) {
  KeyLine key;
  const std::size_t nameEnd =
      std::min({codePage.Find(text, '['), codePage.Find(text, '='), text.size()});
  key.name = text.substr(0, nameEnd);
  const std::size_t equals = codePage.Find(text, '=');
  if (equals != std::string_view::npos) {
    key.equals = equals;
    key.value = text.substr(equals + 1);
  }
  for (const KnownKey& known : kKnownKeys)
    if (known.name == key.name) key.known = &known;
  if (!key.known) return key;

  // Both spellings of UseNotesAsControllers set the same key.
  const std::size_t which = key.known->key == Key::usesNotesAsControllers
                                ? static_cast<std::size_t>(key.known - kKnownKeys.data()) - 1
                                : static_cast<std::size_t>(key.known - kKnownKeys.data());
  key.identity = Identity(which, 0, 0);
  if (key.known->bracketParts == 0) {
    if (nameEnd < text.size() && text[nameEnd] == '[') key.malformed = MalformedKeyReason::brackets;
    else if (!key.equals) key.malformed = MalformedKeyReason::noEquals;
    return key;
  }
  const std::size_t close = FindFrom(text, ']', nameEnd, codePage);
  if (nameEnd == text.size() || text[nameEnd] != '[' || close == std::string_view::npos ||
      !key.equals || *key.equals != close + 1) {
    key.malformed = key.equals ? MalformedKeyReason::brackets : MalformedKeyReason::noEquals;
    return key;
  }
  const std::string_view inside = text.substr(nameEnd + 1, close - nameEnd - 1);
  const std::size_t comma = inside.find(',');
  const bool twoParts = key.known->bracketParts == 2;
  if ((comma != std::string_view::npos) != twoParts ||
      (twoParts && inside.find(',', comma + 1) != std::string_view::npos)) {
    key.malformed = MalformedKeyReason::brackets;
    return key;
  }
  // A part that would be a number but for a blank: the blank is the trouble.
  const auto blankOnly = [](std::string_view part, std::uint64_t largest, std::uint32_t any) {
    return TrimBlanks(part).size() != part.size() && PartValue(TrimBlanks(part), largest, any);
  };
  const std::string_view bankPart = inside.substr(0, comma);
  const std::optional<std::uint32_t> bank = PartValue(bankPart, kLargestBank, kAnyBank);
  if (!bank) {
    key.malformed = blankOnly(bankPart, kLargestBank, kAnyBank) ? MalformedKeyReason::bankBlank
                                                                 : MalformedKeyReason::bank;
    return key;
  }
  std::uint32_t program = 0;
  if (twoParts) {
    const std::string_view programPart = inside.substr(comma + 1);
    const std::optional<std::uint32_t> value =
        PartValue(programPart, kLargestProgram, kAnyProgram);
    if (!value) {
      key.malformed = blankOnly(programPart, kLargestProgram, kAnyProgram)
                          ? MalformedKeyReason::programBlank
                          : MalformedKeyReason::program;
      return key;
    }
    program = *value;
  }
  key.identity = Identity(which, *bank, program);
  return key;
}

// The known key that `name` most likely misspells: equal but for case, or
// within two edits (one for keys of four letters or fewer), the closest
// first. Null when none is that close.
const KnownKey* LikelyKey(std::string_view name) {
  if (name.empty() || name.size() > 32) return nullptr;
  const std::string lower = AsciiLower(name);
  const KnownKey* best = nullptr;
  int bestDistance = 3;
  for (const KnownKey& known : kKnownKeys) {
    const int limit = known.name.size() <= 4 ? 1 : 2;
    const int distance = BoundedEditDistance(lower, AsciiLower(known.name), limit);
    if (distance <= limit && distance < bestDistance) {
      best = &known;
      bestDistance = distance;
    }
  }
  return best;
}

// A place and the text to quote it by, kept only until a finding needs it.
struct Remembered {
  int line = 0;
  std::uint64_t lineOffset = 0;
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  std::string lineText;

  void Set(const CPlace& place) {
    line = place.line;
    lineOffset = place.lineOffset;
    begin = place.begin;
    end = place.end;
    lineText.assign(place.lineText);
  }
  CPlace PlaceIn(CRuleSink& result) const {
    CPlace place;
    place.line = line;
    place.lineOffset = lineOffset;
    place.begin = begin;
    place.end = end;
    place.lineText = Keep(result, lineText);
    return place;
  }
};

// The keys an instrument has set so far, each with a number from 0 on in
// the order they came: a few for most instruments, thousands for some, so
// an open table that clears only the slots it used.
class CKeysSet {
 public:
  // The number of `identity` (never 0), and whether it is new.
  std::pair<std::size_t, bool> Insert(std::uint32_t identity) {
    if (2 * (m_used.size() + 1) > m_slots.size()) Grow();
    std::size_t slot = Mix(identity) & (m_slots.size() - 1);
    for (; m_slots[slot].identity != 0; slot = (slot + 1) & (m_slots.size() - 1))
      if (m_slots[slot].identity == identity) return {m_slots[slot].number, false};
    m_slots[slot] = {identity, m_used.size()};
    m_used.push_back(slot);
    return {m_slots[slot].number, true};
  }

  void Clear() {
    for (const std::size_t slot : m_used) m_slots[slot].identity = 0;
    m_used.clear();
  }

 private:
  struct Slot {
    std::uint32_t identity = 0;  // 0: empty
    std::size_t number = 0;
  };

  static std::size_t Mix(std::uint32_t identity) {
    return static_cast<std::size_t>(identity * 0x9E3779B97F4A7C15ULL >> 29);
  }

  void Grow() {
    std::vector<Slot> old(std::max<std::size_t>(64, 2 * m_slots.size()));
    old.swap(m_slots);
    for (std::size_t& slot : m_used) {
      const Slot moved = old[slot];
      slot = Mix(moved.identity) & (m_slots.size() - 1);
      while (m_slots[slot].identity != 0) slot = (slot + 1) & (m_slots.size() - 1);
      m_slots[slot] = moved;
    }
  }

  std::vector<Slot> m_slots;
  std::vector<std::size_t> m_used;  // the slots in use, in the keys' order
};

// A run of blank and comment lines inside an instrument.
struct Gap {
  Remembered place;
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  bool blankOnly = true;
  bool firstComment = false;  // the line the finding stands at is a comment
};

// A finding's message that names a line, and how to make it again with
// the lines numbered `shift` later.
struct Remake {
  std::size_t finding;  // in the result's ruleFindings
  std::function<std::string(int shift)> make;
};

class CLineLinter {
 public:
  // Starts in `section`, outside any list or instrument.
  CLineLinter(const CStdioFile& file, const CRuleSelection& rules, bool notes,
              CRuleSink& result, std::vector<CSuppression>& suppressions,
              int section = kNoSection, bool underUnknown = false)
      : m_file(file), m_rules(rules), m_notes(notes), m_out(result), m_codePage(result.codePage),
        m_suppressions(suppressions), m_section(section), m_underUnknown(underUnknown) {
  }

  // The usual line of a name list, "12=Warm Pad", with nothing to report
  // and its number new to the list: takes the number and returns true.
  // False, having changed nothing, for any other line, which Line takes.
  // Inline, as most lines of a large file are such entries.
  bool QuickEntry(const CSourceLine& line) {
    const std::string_view text = line.text;
    if (!m_quick || text.empty() || !IsDigit(text[0]) || line.length > kLongestWholeLine ||
        line.hasLoneCr || (line.hasSemicolon && m_readsEntrySemicolons))
      return false;
    // Five digits hold the largest number of any list; a longer number,
    // with leading zeros or not, takes the long way.
    std::uint32_t number = static_cast<std::uint32_t>(text[0] - '0');
    std::size_t digits = 1;
    for (; digits < text.size() && digits < 5 && IsDigit(text[digits]); ++digits)
      number = number * 10 + static_cast<std::uint32_t>(text[digits] - '0');
    const std::uint32_t largest =
        m_section == kRpnNames || m_section == kNrpnNames ? kLargestBank : kLargestProgram;
    if (digits == text.size() || text[digits] != '=' || number > largest) return false;
    if (m_readsDuplicates) {
      NumberSlot& slot = m_numbers[number];
      if (slot.first >> 32 == m_list) return false;
      slot.first = std::uint64_t{m_list} << 32 | static_cast<std::uint32_t>(line.physicalLine);
      slot.offset = line.offset;
      slot.last = line.offset;
    }
    if (number <= 1) {
      m_has0 = m_has0 || number == 0;
      m_has1 = m_has1 || number == 1;
    }
    return true;
  }
  void Line(const CSourceLine& line);
  // Keeps the messages that name lines in `remakes`, for lines numbered
  // before it is known where they start (see Renumber).
  void KeepRemakes(std::vector<Remake>& remakes) { m_remakes = &remakes; }
  // Ends the list or instrument at hand, as a section header or a label
  // line does.
  void Close();
  void Finish(const CSourceLine& last);
  // The suppressions still waiting for the line they silence.
  std::size_t FirstPending() const { return m_firstPending; }

  // Whether any rule reads the entries of name lists, or the lines of
  // instruments: without, their lines cost nothing.
  static bool ReadsEntries(const CRuleSelection& rules) {
    return rules.Has(FindingKind::numberOutOfRange) || rules.Has(FindingKind::duplicateNumber) ||
           rules.Has(FindingKind::malformedEntry) || rules.Has(FindingKind::commentInEntryText);
  }
  static bool ReadsInstruments(const CRuleSelection& rules) {
    for (const FindingKind kind :
         {FindingKind::malformedKey, FindingKind::misspelledKey, FindingKind::unknownKey,
          FindingKind::duplicateKey, FindingKind::commentAfterValue,
          FindingKind::bankSelectAfterPatch, FindingKind::gapInInstrument, FindingKind::drumZero})
      if (rules.Has(kind)) return true;
    return false;
  }

 private:
  enum class Context { none, list, instrument };

  CFinding& Add(FindingKind kind, const CSourceLine& line, std::size_t begin, std::size_t end,
                std::string message);
  // The message `make(0)` of the finding about to be added, which names a
  // line of the file; kept to be made again when the lines are renumbered.
  std::string NamingLine(std::function<std::string(int shift)> make) {
    std::string message = make(0);
    if (m_remakes) m_remakes->push_back({m_out.findings.size(), std::move(make)});
    return message;
  }
  CNote MakeNote(NoteKind kind, const CPlace& place, std::string message) const;
  void OpenLabel(const CSourceLine& line);
  void Comment(const CSourceLine& line);
  void Entry(const CSourceLine& line);
  void InstrumentLine(const CSourceLine& line, bool blank, bool comment);
  void KnownKeyLine(const CSourceLine& line, const KeyLine& key);
  void ValueComment(const CSourceLine& line, const KeyLine& key);
  void CheckLength(const CSourceLine& line);

  const CStdioFile& m_file;
  const CRuleSelection& m_rules;
  const bool m_notes;
  std::vector<Remake>* m_remakes = nullptr;
  CRuleSink& m_out;
  const CCodePage& m_codePage;
  std::vector<CSuppression>& m_suppressions;
  const bool m_readsEntries = ReadsEntries(m_rules);
  const bool m_readsInstruments = ReadsInstruments(m_rules);
  const bool m_readsEntrySemicolons = m_rules.Has(FindingKind::commentInEntryText);
  const bool m_readsDuplicates = m_rules.Has(FindingKind::duplicateNumber);
  std::size_t m_firstPending = 0;  // suppressions from here on wait for their line
  // Whether QuickEntry may take lines: in a name list whose entries a rule
  // reads, with no suppression waiting for its line.
  bool m_quick = false;
  void UpdateQuick() {
    m_quick = m_context == Context::list && m_readsEntries &&
              m_firstPending == m_suppressions.size();
  }

  int m_section;
  // The last "." line read names no section: the lists after it still
  // stand in m_section.
  bool m_underUnknown;
  Context m_context = Context::none;
  std::string m_listName;
  Remembered m_label;
  // Where the label line of the list or instrument at hand starts, and its
  // line end: a comment moved out of a key's value goes above it, where no
  // program reads it as a gap inside the instrument.
  std::uint64_t m_labelOffset = 0;
  std::string m_labelEnding;
  // Where the line at hand starts together with the suppression comments
  // that silence it: a fix that puts a line above it puts it above them.
  std::uint64_t m_blockStart = 0;

  // The list at hand: its numbers, for duplicates and for counting from 1.
  // An entry whose number came first. Its texts are read again from the
  // file only when its number comes again, which is rare: a list of many
  // entries costs no copy of each.
  struct EntryNumber {
    int line;                  // the physical line of its number
    std::uint32_t digits;
    std::uint64_t lineOffset;  // where that line starts
    std::uint64_t offset;      // where the entry's line starts
    std::uint32_t lineTextSize;
    std::uint32_t nameSize;
  };
  std::vector<EntryNumber> m_entries;
  // Reads `size` bytes at `offset` of the file again.
  std::string ReadAgain(std::uint64_t offset, std::size_t size) const;
  // For each number of a list: in `first`, the list it was last seen in
  // (m_list then) in the high half, and in the low where its first entry
  // is: the index of that entry in m_entries with kInEntries, or else the
  // physical line of an entry QuickEntry took, which starts at `offset`. A
  // new list makes every slot stale at once. Most entries thus cost two
  // stores; the rest of an entry is read again from its line when its
  // number comes again, which is rare. On the heap, as it takes 256 KB.
  static constexpr std::uint32_t kInEntries = 0x80000000;
  struct NumberSlot {
    std::uint64_t first = 0;
    std::uint64_t offset = 0;
    std::uint64_t last = 0;  // where the line of its latest entry starts
  };
  std::vector<NumberSlot> m_numbers = std::vector<NumberSlot>(kLargestBank + 1);
  std::uint32_t m_list = 1;
  // The first entry of `slot`'s number in the list at hand, or -1; one
  // that QuickEntry took is put in m_entries first.
  int FirstOf(std::uint32_t slot);
  void SetFirst(std::uint32_t slot, int index) {
    m_numbers[slot].first =
        std::uint64_t{m_list} << 32 | kInEntries | static_cast<std::uint32_t>(index);
  }
  std::unordered_map<std::string, int> m_largeNumbers;
  std::unordered_map<std::string, std::uint64_t> m_largeLast;  // as NumberSlot::last
  // Whether the entry whose line starts at `offset` has the name `name`,
  // read as every program reads it (a line of a piece at most, no lone CR).
  bool EntryNamed(std::uint64_t offset, std::string_view name) const;
  bool m_has0 = false;
  bool m_has1 = false;
  std::vector<std::size_t> m_at128;  // findings of entries numbered 128

  // The instrument at hand.
  CKeysSet m_keys;
  std::vector<Remembered> m_keyPlaces;  // where each key of m_keys was set first
  std::optional<std::uint64_t> m_firstPatchOffset;
  int m_firstPatchLine = 0;
  // A BankSelMethod line stands after the first Patch line: a later one
  // moved above that would change which of them comes first.
  bool m_bankSelectAfterPatch = false;
  std::optional<Gap> m_gap;
  // The instrument's Drum lines, by bank and program as Identity packs
  // them. A Drum[...]=0 says something only where a wider Drum[...]=1 of
  // the same instrument covers it, before or after it: only at the
  // instrument's end is it known whether one does.
  // Its line's text is read again only for a finding.
  struct DrumZero {
    std::uint32_t drum;
    int line;
    std::uint64_t lineOffset;
    std::uint32_t end;
    std::uint32_t lineTextSize;
  };
  std::vector<DrumZero> m_drumZeros;
  std::unordered_set<std::uint32_t> m_drumOnes;
  void ReportDrumZeros();
};

std::string CLineLinter::ReadAgain(std::uint64_t offset, std::size_t size) const {
  std::string bytes(size, '\0');
  std::size_t got = 0;
  while (got < size) {
    const std::size_t n = m_file.ReadBytesAt(offset + got, bytes.data() + got, size - got);
    if (n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return bytes;
}

int CLineLinter::FirstOf(std::uint32_t slot) {
  const std::uint64_t first = m_numbers[slot].first;
  if (first >> 32 != m_list) return -1;
  const auto low = static_cast<std::uint32_t>(first);
  if (low & kInEntries) return static_cast<int>(low & ~kInEntries);
  // A line QuickEntry took: digits, "=" and a name, no lone CR, at most a
  // piece long. Should the file have changed since, the entry's parts are
  // taken from what is there now, within the bytes read.
  const std::uint64_t offset = m_numbers[slot].offset;
  std::string text = ReadAgain(offset, kLongestWholeLine + 2);
  text.resize(std::min(text.size(), text.find('\n')));
  if (!text.empty() && text.back() == '\r') text.pop_back();
  std::size_t digits = 0;
  while (digits < text.size() && IsDigit(text[digits])) ++digits;
  const std::size_t name = digits < text.size() ? text.size() - digits - 1 : 0;
  const int index = static_cast<int>(m_entries.size());
  m_entries.push_back({static_cast<int>(low), static_cast<std::uint32_t>(digits), offset, offset,
                       static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(name)});
  SetFirst(slot, index);
  return index;
}

CFinding& CLineLinter::Add(FindingKind kind, const CSourceLine& line, std::size_t begin,
                           std::size_t end, std::string message) {
  CPlace place = line.PlaceOf(begin, end);
  place.lineText = Keep(m_out, place.lineText);
  return AddRuleFinding(m_out, kind, place, m_section, std::move(message));
}

CNote CLineLinter::MakeNote(NoteKind kind, const CPlace& place, std::string message) const {
  return ::MakeNote(kind, place, m_section, std::move(message));
}

void CLineLinter::Close() {
  if (m_context == Context::list) {
    // A patch or note list numbered 1 to 128 counts from 1.
    const bool countsFromOne = (m_section == kPatchNames || m_section == kNoteNames) &&
                               !m_has0 && m_has1 && !m_at128.empty();
    if (countsFromOne && m_notes) {
      const CPlace label = m_label.PlaceIn(m_out);
      for (const std::size_t index : m_at128) {
        m_out.findings[index].note = MakeNote(
            NoteKind::countsFromOne, label, CountsFromOneMessage(m_codePage.ToUtf8(m_listName)));
      }
    }
    ++m_list;
    m_entries.clear();
    // Clearing an empty map still clears its buckets.
    if (!m_largeNumbers.empty()) m_largeNumbers.clear();
    if (!m_largeLast.empty()) m_largeLast.clear();
    m_has0 = m_has1 = false;
    m_at128.clear();
  }
  if (!m_drumZeros.empty()) ReportDrumZeros();
  // Clearing an empty set still clears its buckets.
  if (!m_drumOnes.empty()) m_drumOnes.clear();
  m_keys.Clear();
  m_firstPatchOffset.reset();
  m_bankSelectAfterPatch = false;
  m_gap.reset();
  m_context = Context::none;
  UpdateQuick();
}

void CLineLinter::ReportDrumZeros() {
  const auto setByWider = [this](std::uint32_t drum) {
    const std::uint32_t bank = drum >> 8;
    const std::uint32_t program = drum & 0xFF;
    const auto set = [&](std::uint32_t b, std::uint32_t p) {
      return (b != bank || p != program) && m_drumOnes.count(b << 8 | p) > 0;
    };
    return set(bank, kAnyProgram) || set(kAnyBank, program) || set(kAnyBank, kAnyProgram);
  };
  for (const DrumZero& zero : m_drumZeros) {
    if (setByWider(zero.drum)) continue;
    CPlace place;
    place.line = zero.line;
    place.lineOffset = zero.lineOffset;
    place.end = zero.end;
    place.lineText = Keep(m_out, ReadAgain(zero.lineOffset, zero.lineTextSize));
    AddRuleFinding(m_out, FindingKind::drumZero, place, m_section, DrumZeroMessage());
  }
  m_drumZeros.clear();
}

void CLineLinter::OpenLabel(const CSourceLine& line) {
  Close();
  // Under a header of no section the lines after a label may be anything
  // its program wants (".Sequences" holds "Start=F0 7E F7"): they are no
  // entries or keys, and that header's finding says what is wrong.
  if (m_section == kNoSection || m_underUnknown) return;
  const std::size_t close = m_codePage.Find(line.text, ']');
  m_listName.assign(close == std::string_view::npos ? std::string_view()
                                                     : line.text.substr(1, close - 1));
  // Only the note on a list that counts from 1 points at its label.
  if (m_notes) m_label.Set(line.PlaceOf(1, close == std::string_view::npos ? 1 : close));
  m_labelOffset = line.offset;
  m_labelEnding.assign(line.ending.empty() ? m_out.lineEnd : line.ending);
  m_context = m_section == kInstrumentDefinitions ? Context::instrument : Context::list;
  UpdateQuick();
}

void CLineLinter::Comment(const CSourceLine& line) {
  CSuppression suppression;
  // A lone CR ends the comment's line as editors show it: what follows is
  // no part of the suppression.
  const std::string_view own = line.text.substr(0, line.text.find('\r'));
  if (!ParseSuppression(own, suppression)) return;
  suppression.place = line.PlaceOf(0, own.size());
  suppression.place.lineText = Keep(m_out, suppression.place.lineText);
  // Removing the comment removes its line as editors show it, up to its
  // line end or the lone CR that ends it.
  suppression.lineEndOffset =
      own.size() < line.text.size() ? line.offset + own.size() + 1 : line.EndOffset();
  suppression.endsAtLoneCr = own.size() + 1 < line.text.size();
  m_suppressions.push_back(std::move(suppression));
  UpdateQuick();
}

void CLineLinter::Entry(const CSourceLine& line) {
  const std::string_view text = line.text;
  // The digits and their value in one pass; past kMostDigits significant
  // digits the number is out of every range and its value is not needed.
  std::size_t digits = 0;
  std::uint64_t value = 0;
  std::size_t significant = 0;
  for (; digits < text.size() && IsDigit(text[digits]); ++digits) {
    if (significant > 0 || text[digits] != '0') ++significant;
    if (significant <= kMostDigits) value = value * 10 + static_cast<unsigned>(text[digits] - '0');
  }
  if (digits == 0 || digits == text.size() || text[digits] != '=') {
    if (text.starts_with("BasedOn")) return;  // inherits from another list
    if (m_rules.Has(FindingKind::malformedEntry))
      Add(FindingKind::malformedEntry, line, 0, text.size(), MalformedEntryMessage());
    return;
  }
  const std::string_view numberText = text.substr(0, digits);
  const std::string_view name = text.substr(digits + 1);
  const std::optional<std::uint64_t> number =
      significant <= kMostDigits ? std::make_optional(value) : std::nullopt;
  const std::uint64_t largest =
      m_section == kRpnNames || m_section == kNrpnNames ? kLargestBank : kLargestProgram;
  if (number == 0u) m_has0 = true;
  if (number == 1u) m_has1 = true;
  if ((!number || *number > largest) && m_rules.Has(FindingKind::numberOutOfRange)) {
    if (number == 128u) m_at128.push_back(m_out.findings.size());
    Add(FindingKind::numberOutOfRange, line, 0, digits,
        NumberOutOfRangeMessage(numberText, static_cast<int>(largest)));
  }
  if (line.hasSemicolon && m_readsEntrySemicolons) {
    if (const std::size_t semicolon = m_codePage.Find(name, ';'); semicolon != std::string_view::npos)
      Add(FindingKind::commentInEntryText, line, digits + 1 + semicolon, text.size(),
          CommentInEntryTextMessage(numberText));
  }
  if (!m_readsDuplicates) return;

  // The entry that came first with this number, or -1; numbers of every
  // range have a slot, others are looked up by their digits.
  int first = -1;
  int* large = nullptr;
  std::uint64_t* last = nullptr;
  std::uint32_t slot = 0;
  if (number && *number <= kLargestBank) {
    slot = static_cast<std::uint32_t>(*number);
    first = FirstOf(slot);
    last = &m_numbers[slot].last;
  } else {
    const std::string key = number ? std::to_string(*number)
                                   : std::string(numberText.substr(numberText.find_first_not_of('0')));
    large = &m_largeNumbers.try_emplace(key, -1).first->second;
    first = *large;
    last = &m_largeLast[key];
  }
  // The entry of this number just before this one, which programs where
  // the last entry wins read until this line.
  const std::uint64_t previous = *last;
  *last = line.offset;
  if (first < 0) {
    const int index = static_cast<int>(m_entries.size());
    if (large) *large = index;
    else SetFirst(slot, index);
    int placeLine = line.physicalLine;
    std::uint64_t lineOffset = line.offset;
    std::size_t lineTextSize = text.size();
    if (line.hasLoneCr) {
      const CPlace place = line.PlaceOf(0, digits);
      placeLine = place.line;
      lineOffset = place.lineOffset;
      lineTextSize = place.lineText.size();
    }
    m_entries.push_back({placeLine, static_cast<std::uint32_t>(digits), lineOffset, line.offset,
                         static_cast<std::uint32_t>(lineTextSize),
                         static_cast<std::uint32_t>(name.size())});
    return;
  }
  const EntryNumber& earlier = m_entries[static_cast<std::size_t>(first)];
  const std::string earlierName =
      ReadAgain(earlier.offset + earlier.digits + 1, earlier.nameSize);
  const bool same = earlierName == name;
  CFinding& finding = Add(
      FindingKind::duplicateNumber, line, 0, digits,
      NamingLine([number = std::string(numberText), firstLine = earlier.line, same,
                  earlierUtf8 = m_codePage.ToUtf8(earlierName)](int shift) {
        return DuplicateNumberMessage(number, firstLine + shift, same, earlierUtf8);
      }));
  if (m_notes) {
    CPlace place;
    place.line = earlier.line;
    place.lineOffset = earlier.lineOffset;
    place.end = earlier.digits;
    place.lineText = Keep(m_out, ReadAgain(earlier.lineOffset, earlier.lineTextSize));
    finding.note = MakeNote(NoteKind::firstEntry, place, FirstEntryMessage(numberText));
  }
  // Removing this line changes what no program reads only when the entry
  // of this number just before it has the same name: where the last entry
  // wins, that one is then read instead.
  if (line.length == line.text.size() && !line.hasLoneCr && EntryNamed(previous, name)) {
    finding.fix = CFix{true, DeleteLineTitle(), {{line.offset, line.EndOffset(), ""}}};
  }
}

bool CLineLinter::EntryNamed(std::uint64_t offset, std::string_view name) const {
  std::string text = ReadAgain(offset, kLongestWholeLine + 2);
  const std::size_t end = text.find('\n');
  if (end == std::string::npos) return false;
  text.resize(end);
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (text.size() > kLongestWholeLine || text.find('\r') != std::string::npos) return false;
  const std::size_t equals = text.find('=');
  return equals != std::string::npos && std::string_view(text).substr(equals + 1) == name;
}

void CLineLinter::ValueComment(const CSourceLine& line, const KeyLine& key) {
  if (!key.equals || !m_rules.Has(FindingKind::commentAfterValue)) return;
  const std::size_t valueBegin = *key.equals + 1;
  const std::size_t semicolon = m_codePage.Find(key.value, ';');
  if (semicolon == std::string_view::npos) return;
  const std::size_t at = valueBegin + semicolon;
  CFinding& finding = Add(FindingKind::commentAfterValue, line, at, line.text.size(),
                          CommentAfterValueMessage(m_codePage.ToUtf8(key.name)));
  if (line.length != line.text.size() || line.hasLoneCr) return;
  // Above the label line, where no program reads the comment as a gap
  // inside the instrument; it says which key it was written after.
  std::string comment = CommentLineAbove(line.text.substr(0, *key.equals), line.text.substr(at + 1));
  if (comment.size() > kLongestWholeLine) return;
  comment.append(m_labelEnding);
  const std::size_t keep = TrimEndBlanks(line.text.substr(0, at)).size();
  finding.fix = CFix{true, MoveCommentTitle(),
                     {{m_labelOffset, m_labelOffset, std::move(comment)},
                      {line.offset + keep, line.offset + line.text.size(), ""}}};
}

void CLineLinter::KnownKeyLine(const CSourceLine& line, const KeyLine& key) {
  const std::string_view value = TrimEndBlanks(key.value.substr(0, m_codePage.Find(key.value, ';')));
  const std::size_t valueBegin = key.equals ? *key.equals + 1 : line.text.size();
  std::optional<MalformedKeyReason> malformed = key.malformed;
  const Key which = key.known->key;
  // Any BankSelMethod line, well written or not, after the first Patch line.
  const bool bankSelectBefore = m_bankSelectAfterPatch;
  if (which == Key::bankSelMethod && m_firstPatchOffset) m_bankSelectAfterPatch = true;
  if (!malformed) {
    if (which == Key::drum && value != "0" && value != "1") malformed = MalformedKeyReason::drumValue;
    if (which == Key::bankSelMethod && (value.size() != 1 || value[0] < '0' || value[0] > '3'))
      malformed = MalformedKeyReason::bankSelMethodValue;
    if ((which == Key::useNotesAsControllers || which == Key::usesNotesAsControllers) &&
        value != "0" && value != "1")
      malformed = MalformedKeyReason::switchValue;
  }
  if (malformed) {
    if (m_rules.Has(FindingKind::malformedKey)) {
      const bool aboutValue = *malformed >= MalformedKeyReason::drumValue;
      const std::size_t begin = aboutValue ? valueBegin : 0;
      const std::size_t end = aboutValue ? valueBegin + value.size() : valueBegin - (key.equals ? 1 : 0);
      Add(FindingKind::malformedKey, line, begin, end,
          MalformedKeyMessage(*malformed, m_codePage.ToUtf8(key.name), m_codePage.ToUtf8(value)));
    }
    ValueComment(line, key);
    return;
  }
  if (which == Key::drum && m_rules.Has(FindingKind::drumZero)) {
    const std::uint32_t drum = key.identity & 0xFFFFFF;
    if (value == "0") {
      const CPlace place = line.PlaceOf(0, line.text.size());
      m_drumZeros.push_back({drum, place.line, place.lineOffset, place.end,
                             static_cast<std::uint32_t>(place.lineText.size())});
    } else {
      m_drumOnes.insert(drum);
    }
  }
  if (which == Key::patch && !m_firstPatchOffset) {
    m_firstPatchOffset = m_blockStart;
    m_firstPatchLine = line.physicalLine;
  }
  if (which == Key::bankSelMethod && m_firstPatchOffset &&
      m_rules.Has(FindingKind::bankSelectAfterPatch)) {
    CFinding& finding = Add(FindingKind::bankSelectAfterPatch, line, 0, key.name.size(),
                            NamingLine([firstLine = m_firstPatchLine](int shift) {
                              return BankSelectAfterPatchMessage(firstLine + shift);
                            }));
    // A line with suppression comments above it stays: they would either
    // stay behind, silencing another line, or come along and stand as a
    // gap among the keys, where one program stops reading the instrument.
    // So does one after another BankSelMethod line below the first Patch
    // line, until that one has moved.
    if (line.length == line.text.size() && m_blockStart == line.offset && !bankSelectBefore) {
      std::string moved(line.text);
      moved.append(line.ending.empty() ? m_out.lineEnd : line.ending);
      finding.fix = CFix{true, MoveBankSelectTitle(),
                         {{*m_firstPatchOffset, *m_firstPatchOffset, std::move(moved)},
                          {line.offset, line.EndOffset(), ""}}};
    }
  }
  if (m_rules.Has(FindingKind::duplicateKey)) {
    const auto [index, added] = m_keys.Insert(key.identity);
    const std::size_t keyEnd = key.equals ? *key.equals : line.text.size();
    if (added) {
      if (m_keyPlaces.size() <= index) m_keyPlaces.resize(index + 1);
      Remembered& first = m_keyPlaces[index];
      if (m_notes) first.Set(line.PlaceOf(0, keyEnd));
      first.line = line.physicalLine;
    } else {
      const Remembered& first = m_keyPlaces[index];
      const std::string identity = IdentityText(key.identity);
      CFinding& finding = Add(FindingKind::duplicateKey, line, 0, keyEnd,
                              NamingLine([identity, firstLine = first.line](int shift) {
                                return DuplicateKeyMessage(identity, firstLine + shift);
                              }));
      if (m_notes)
        finding.note = MakeNote(NoteKind::firstKey, first.PlaceIn(m_out),
                                FirstKeyMessage(identity));
    }
  }
  ValueComment(line, key);
}

void CLineLinter::InstrumentLine(const CSourceLine& line, bool blank, bool comment) {
  if (blank || comment) {
    if (!m_gap) {
      m_gap.emplace();
      m_gap->place.Set(line.PlaceOf(0, line.text.size()));
      m_gap->begin = line.offset;
      m_gap->firstComment = comment;
    }
    m_gap->blankOnly = m_gap->blankOnly && blank && line.length == line.text.size();
    m_gap->end = line.EndOffset();
    return;
  }
  if (m_gap) {
    if (m_rules.Has(FindingKind::gapInInstrument)) {
      CFinding& finding = AddRuleFinding(
          m_out, FindingKind::gapInInstrument, m_gap->place.PlaceIn(m_out), m_section,
          GapInInstrumentMessage(m_codePage.ToUtf8(m_listName), m_gap->firstComment));
      if (m_gap->blankOnly)
        finding.fix = CFix{true, RemoveBlankLinesTitle(), {{m_gap->begin, m_gap->end, ""}}};
    }
    m_gap.reset();
  }
  const KeyLine key = ReadKeyLine(line.text, m_codePage);
  if (key.known) {
    KnownKeyLine(line, key);
    return;
  }
  const std::size_t nameEnd = key.name.size();
  if (const KnownKey* likely = LikelyKey(key.name)) {
    if (m_rules.Has(FindingKind::misspelledKey)) {
      CFinding& finding = Add(FindingKind::misspelledKey, line, 0, nameEnd,
                              MisspelledKeyMessage(m_codePage.ToUtf8(key.name), likely->name));
      finding.fix = CFix{false, RenameKeyTitle(likely->name),
                         {{line.offset, line.offset + nameEnd, std::string(likely->name)}}};
    }
    return;
  }
  if (m_rules.Has(FindingKind::unknownKey)) {
    Add(FindingKind::unknownKey, line, 0, std::max<std::size_t>(nameEnd, 1),
        UnknownKeyMessage(m_codePage.ToUtf8(key.name.empty() ? line.text.substr(0, 40) : key.name)));
  }
}

void CLineLinter::CheckLength(const CSourceLine& line) {
  if (line.length > kLongestWholeLine && m_rules.Has(FindingKind::longLine))
    Add(FindingKind::longLine, line, kLongestWholeLine, line.text.size(),
        LongLineMessage(line.length));
}

void CLineLinter::Line(const CSourceLine& line) {
  CheckLength(line);
  const std::string_view text = line.text;
  // Most lines are entries or keys: their first byte says they are neither
  // blank nor comments.
  const char first = text.empty() ? ' ' : text.front();
  const bool mayBeBlank = IsBlank(first) || first == ';';
  const bool blank = mayBeBlank && IsBlankLine(text);
  const bool comment = mayBeBlank && !blank && IsCommentLine(text);
  if (comment) Comment(line);
  if (!blank && !comment) m_blockStart = line.offset;
  if (!blank && !comment && m_firstPending < m_suppressions.size()) {
    // The line that the suppressions above it silence.
    for (; m_firstPending < m_suppressions.size(); ++m_firstPending) {
      CSuppression& suppression = m_suppressions[m_firstPending];
      if (suppression.wholeFile) continue;
      suppression.targetLine = line.physicalLine;
      m_blockStart = std::min(m_blockStart, suppression.place.lineOffset);
    }
    UpdateQuick();
  }
  if (text.starts_with('.')) {
    Close();
    const int header = FindSectionHeader(text);
    m_underUnknown = header == kNoSection;
    if (header != kNoSection) {
      m_section = header;
    } else if (m_rules.Has(FindingKind::unknownSection)) {
      Add(FindingKind::unknownSection, line, 0, text.size(),
          UnknownSectionMessage(m_codePage.ToUtf8(text.substr(0, 80))));
    }
    return;
  }
  if (text.starts_with('[')) {
    OpenLabel(line);
    return;
  }
  switch (m_context) {
    case Context::list:
      if (!blank && !comment && m_readsEntries) Entry(line);
      break;
    case Context::instrument:
      if (m_readsInstruments) InstrumentLine(line, blank, comment);
      break;
    case Context::none:
      break;
  }
}

void CLineLinter::Finish(const CSourceLine& last) {
  Close();
  const bool unended = last.length > 0 &&
                       !(last.length == last.text.size() && last.text.back() == '\r');
  if (unended && m_rules.Has(FindingKind::noFinalLineEnd)) {
    CFinding& finding = Add(FindingKind::noFinalLineEnd, last, last.text.size(),
                            last.text.size(), NoFinalLineEndMessage());
    const std::uint64_t end = last.EndOffset();
    finding.fix = CFix{true, AddLineEndTitle(), {{end, end, std::string(m_out.lineEnd)}}};
  }
}

}  // namespace

namespace {


// Whether the file holds a suppression marker anywhere. A check of the
// cross-references alone reads every line only when it must, for the
// suppressions: most files have none.
bool MentionsSuppression(const CStdioFile& file) {
  constexpr std::size_t kBlock = 1 << 18;
  const std::size_t overlap = kSuppressionMarker.size() - 1;
  std::vector<char> buffer(kBlock + overlap);
  std::size_t kept = 0;
  for (std::uint64_t offset = 0;;) {
    const std::size_t n = file.ReadBytesAt(offset, buffer.data() + kept, kBlock);
    if (n == 0) return false;
    const std::string_view block(buffer.data(), kept + n);
    if (block.find(kSuppressionMarker) != std::string_view::npos) return true;
    offset += n;
    kept = std::min(overlap, block.size());
    std::memmove(buffer.data(), block.data() + block.size() - kept, kept);
  }
}

// Whether the last line `line` ends in the DOS end-of-file mark.
bool HasEndOfFileMark(const CSourceLine& line) {
  return line.length == line.text.size() && line.text.ends_with('\x1A');
}

// A line where a list or an instrument begins or ends: of the lines before
// it, the linter needs nothing but the section they stand in.
bool StartsContext(std::string_view text) {
  return text.starts_with('.') || text.starts_with('[');
}

struct Boundary {
  std::uint64_t offset;
  int line;  // physical
};

// The numbers of the first line at the split, once the first part has
// passed it: its physical line and its piece.
struct AtSplit {
  int line = 0;  // 0: not passed
  int piece = 0;
};

// Lints the lines `source` gives up to the end of the file, or up to the
// first line at `stopFrom` or after it that starts a context: that one is
// left to whoever lints the rest, and its place is returned. With
// `collector`, the labels of the lines before `stopFrom` go to it; with
// `atSplit`, the numbers of the first line at `stopFrom` go there.
std::optional<Boundary> LintUntil(CLineSource& source, CLineLinter& linter, std::uint64_t stopFrom,
                                  CLabelCollector* collector = nullptr,
                                  AtSplit* atSplit = nullptr) {
  // Only the last line can lack a line end; it is kept for the rule that
  // looks at it.
  CSourceLine last;
  std::string lastText;
  std::optional<Boundary> boundary;
  // The entries QuickEntry takes are no labels and no longer than a
  // piece: the collector need only count them, which it is told of in one
  // go before the next line it reads.
  int passed = 0;
  bool pastStop = false;
  // Hands a line the collector reads to it, after the entries passed over.
  const auto collect = [&](const CSourceLine& line) {
    if (!collector || line.offset >= stopFrom) return;
    collector->Pass(passed);
    passed = 0;
    collector->Line(line);
  };
  source.ForEach([&](const CSourceLine& line) {
    if (line.offset >= stopFrom) {
      if (collector && !pastStop) collector->Pass(passed);
      pastStop = true;
      if (atSplit && atSplit->line == 0) {
        atSplit->line = line.physicalLine;
        atSplit->piece = collector ? collector->NextPiece() : 0;
      }
      if (StartsContext(line.text)) {
        boundary = Boundary{line.offset, line.physicalLine};
        return false;
      }
    }
    if (line.ending.empty()) {
      last = line;
      lastText.assign(line.text);
      last.text = lastText;
      // A DOS end-of-file mark, one Ctrl-Z at the very end, is no part of
      // the last line for the rules; the lists take the line as it is, as
      // the scanner reads it. Kept out of the way of every other line.
      if (HasEndOfFileMark(line)) [[unlikely]] {
        last.text.remove_suffix(1);
        --last.length;
        collect(line);
        linter.Line(last);
        return true;
      }
    }
    if (linter.QuickEntry(line)) {
      ++passed;
      return true;
    }
    // The other lines are read by functions of their own, which get a
    // copy: the line the reader hands out then never leaves its registers.
    const CSourceLine other = line;
    collect(other);
    linter.Line(other);
    return true;
  });
  if (collector && !pastStop) collector->Pass(passed);
  if (boundary) {
    linter.Close();
    return boundary;
  }
  linter.Finish(last);
  return std::nullopt;
}

// What the second part of a line pass in two parts found, its lines and
// pieces numbered from 1 at the split: the first part counts the lines
// before the split on its way, so the second need not count them first.
struct SecondPart {
  SecondPart(const CCodePage& codePage, std::string_view lineEnd)
      : result{findings, kept, codePage, lineEnd} {}
  std::vector<CFinding> findings;
  std::list<std::string> kept;
  CRuleSink result;
  std::vector<CSuppression> suppressions;
  std::vector<Remake> remakes;
  CLabelList definitions;
  CLabelList references;
  std::vector<CSectionHeader> headers;
  int lines = 0;        // the physical lines it read
  bool linted = false;  // a line at the split or after it starts a context
  bool whole = true;    // as CLabelCollector::Whole
};

// Lints the lines from the first that starts a context at `split` or after
// it, in the section the lines before `split` end in. With `labels`, also
// collects the labels of every line from `split` on.
void LintFrom(const CStdioFile& file, std::uint64_t split, const CRuleSelection& rules, bool notes,
              bool labels, SecondPart& part) {
  bool underUnknown = false;
  const int section = SectionBefore(file, split, &underUnknown);
  std::optional<CLabelCollector> collector;
  if (labels)
    collector.emplace(part.definitions, part.references, part.headers, part.result.codePage, section);
  CLineSource skipped(file, split);
  CSourceLine line;
  while (skipped.Next(line)) {
    if (!StartsContext(line.text)) {
      if (collector) collector->Line(line);
      continue;
    }
    CLineSource source(file, line.offset, line.physicalLine);
    CLineLinter linter(file, rules, notes, part.result, part.suppressions, section, underUnknown);
    linter.KeepRemakes(part.remakes);
    LintUntil(source, linter, std::numeric_limits<std::uint64_t>::max(),
              collector ? &*collector : nullptr);
    part.lines = source.NextLine() - 1;
    part.linted = true;
    break;
  }
  if (!part.linted) part.lines = skipped.NextLine() - 1;
  if (collector) {
    // The collector went on from where the skipped lines stopped.
    part.whole = collector->Whole();
  }
}

// Numbers the second part's lines, but for its lists, `lines` later.
void Renumber(SecondPart& part, int lines) {
  const auto shift = [lines](int& line) {
    if (line > 0) line += lines;
  };
  for (CFinding& finding : part.result.findings) {
    shift(finding.line);
    shift(finding.place.line);
    if (finding.note) {
      shift(finding.note->line);
      shift(finding.note->place.line);
    }
  }
  for (const Remake& remake : part.remakes)
    part.result.findings[remake.finding].message = remake.make(lines);
  for (CSuppression& suppression : part.suppressions) {
    shift(suppression.place.line);
    shift(suppression.targetLine);
  }
  for (CSectionHeader& header : part.headers) header.line += lines;
}

}  // namespace

std::string_view FirstLineEnd(const CStdioFile& file) {
  char block[4096];
  char previous = '\0';
  bool anyCr = false;
  for (std::uint64_t offset = 0;;) {
    const std::size_t n = file.ReadBytesAt(offset, block, sizeof block);
    // No LF at all: a file of lone CR line ends (as from old Macs) ends in
    // one too.
    if (n == 0) return anyCr ? "\r" : "\r\n";
    if (const void* lf = std::memchr(block, '\n', n)) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - block);
      return (at > 0 ? block[at - 1] : previous) == '\r' ? "\r\n" : "\n";
    }
    anyCr = anyCr || std::memchr(block, '\r', n) != nullptr;
    previous = block[n - 1];
    offset += n;
  }
}

bool LintLines(const CStdioFile& file, const CRuleSelection& rules, bool notes, bool inParts,
               CRuleSink& result, std::vector<CSuppression>& suppressions,
               CLabelLists* labels) {
  if (!labels && !rules.NeedsLinePass() && !MentionsSuppression(file)) return true;
  CLineLinter linter(file, rules, notes, result, suppressions);
  CLineSource source(file);
  std::optional<CLabelCollector> collector;
  if (labels)
    collector.emplace(labels->definitions, labels->references, labels->headers, result.codePage);
  CLabelCollector* const collecting = collector ? &*collector : nullptr;
  const std::uint64_t split = inParts ? LineStartFrom(file, file.GetSourceLength() / 2) : 0;
  if (split == 0) {
    LintUntil(source, linter, std::numeric_limits<std::uint64_t>::max(), collecting);
    return !collector || collector->Whole();
  }
  // Two parts at once: the first goes on past the split to the end of the
  // list or instrument at hand, the second starts where the first stops.
  // Of the labels, the first part takes those before the split, the second
  // the rest.
  SecondPart part(result.codePage, result.lineEnd);
  std::optional<Boundary> boundary;
  AtSplit atSplit;
  RunBothAtOnce(
      [&] {
        boundary = LintUntil(source, linter, split, collecting, &atSplit);
      },
      [&] { LintFrom(file, split, rules, notes, labels != nullptr, part); });
  // The first part passes the split, unless the file shrank while it was
  // read: then its reading stands.
  if (atSplit.line == 0) return !collector || collector->Whole();
  constexpr int kMaxLine = std::numeric_limits<int>::max();
  const int lines = atSplit.line - 1;
  const int pieces = atSplit.piece - 1;
  // Numbered from the file's start, the second part's lines must still
  // fit an int, as one reading's would have had to.
  if (part.lines > kMaxLine - lines) throw CFileException(file.GetFilePath(), EOVERFLOW);
  Renumber(part, lines);
  bool whole = part.whole && (!collector || collector->Whole());
  if (labels && whole) {
    const auto shift = [lines, pieces](CLabelEntry& entry) {
      entry.line += pieces;
      if (entry.placeLine > 0) entry.placeLine += lines;
    };
    labels->definitions.Append(part.definitions, shift);
    labels->references.Append(part.references, shift);
    labels->headers.insert(labels->headers.end(), part.headers.begin(), part.headers.end());
  }
  // Both parts see the same lines, so the second starts where the first
  // stopped; only a file that changes while it is read can make them
  // disagree, and then the first part's reading stands.
  if (!boundary) return whole;
  if (!part.linted) {
    CLineSource rest(file, boundary->offset, boundary->line);
    LintUntil(rest, linter, std::numeric_limits<std::uint64_t>::max());
    return whole;
  }
  // The comments at the end of the first part silence the line the second
  // starts with.
  for (std::size_t i = linter.FirstPending(); i < suppressions.size(); ++i)
    if (!suppressions[i].wholeFile) suppressions[i].targetLine = boundary->line;
  // Room for exactly both parts: grown by doubling, the findings of a file
  // with very many would take up to twice their room.
  result.findings.reserve(result.findings.size() + part.result.findings.size());
  for (CFinding& finding : part.result.findings)
    result.findings.push_back(std::move(finding));
  result.kept.splice(result.kept.end(), part.result.kept);
  for (CSuppression& suppression : part.suppressions) suppressions.push_back(std::move(suppression));
  return whole;
}
