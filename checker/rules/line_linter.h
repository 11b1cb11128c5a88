// The line rules' one pass over the lines as loaders read them: the
// linter that keeps only the state of the list or instrument at hand and
// hands each line to the rules that read it. Its rules stand in files by
// what they read: entry_rules.cpp (the entries of name lists),
// key_rules.cpp (the key lines of instruments), line_linter.cpp (labels,
// sections, comments and the form of every line).
#ifndef VELTRANE_CHECKER_RULES_LINE_LINTER_H_
#define VELTRANE_CHECKER_RULES_LINE_LINTER_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "checker/line_source.h"
#include "checker/rules/key_line.h"
#include "checker/rules/lint.h"

namespace line_pass {

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
    return rules.Reads(RulePass::lineEntries);
  }
  static bool ReadsInstruments(const CRuleSelection& rules) {
    return rules.Reads(RulePass::lineKeys);
  }
  // Whether every rule of `rules` that reads entries or every line's form
  // is one that stays quiet on the lines QuickEntry takes, so that it may
  // take them (entry_rules.cpp). With any other such rule on, every line
  // takes the long way through Line, where that rule sees it.
  static bool QuickEntryKnows(const CRuleSelection& rules);

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
  // The ends of a list and of an instrument, as Close meets them: the
  // rules that can only tell there, and the state of the one at hand let
  // go (entry_rules.cpp, key_rules.cpp).
  void CloseList();
  void CloseInstrument();
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
  const bool m_quickKnows = QuickEntryKnows(m_rules);
  std::size_t m_firstPending = 0;  // suppressions from here on wait for their line
  // Whether QuickEntry may take lines: in a name list whose entries a rule
  // reads, with no rule on that QuickEntry does not know and no
  // suppression waiting for its line.
  bool m_quick = false;
  void UpdateQuick() {
    m_quick = m_context == Context::list && m_readsEntries && m_quickKnows &&
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

}  // namespace line_pass

#endif  // VELTRANE_CHECKER_RULES_LINE_LINTER_H_
