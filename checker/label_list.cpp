#include "checker/label_list.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>

#include "checker/both_at_once.h"

namespace {

// Blocks start small, since most instrument files hold a few hundred labels,
// and double up to a limit, so that a large file needs few of them and a
// small one touches little memory.
constexpr std::size_t kMaxEntryBlock = 16 * 1024;
constexpr std::size_t kFirstTextBlock = 16 * 1024;
constexpr std::size_t kMaxTextBlock = 1024 * 1024;

bool Contains(std::string_view outer, std::string_view inner) {
  const std::less_equal<const char*> le;
  return !inner.empty() && le(outer.data(), inner.data()) &&
         le(inner.data() + inner.size(), outer.data() + outer.size());
}

// A list this long is sorted as two halves at once, which are then merged.
constexpr std::size_t kSortInHalvesFrom = 1 << 16;

// A stable sort of `order`, each half of a long one on a thread of its
// own. The merge keeps entries of the first half before equal ones of the
// second, so the result is the same either way. `prepare(begin, end)`
// makes the items of a part before it is sorted, on the part's thread.
template <typename Item, typename Less, typename Prepare>
void StableSort(std::vector<Item>& order, Less less, Prepare prepare) {
  const bool inHalves =
      RunInHalves(order.size(), kSortInHalvesFrom, [&](std::size_t begin, std::size_t end) {
        prepare(begin, end);
        std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(begin),
                         order.begin() + static_cast<std::ptrdiff_t>(end), less);
      });
  if (inHalves)
    std::inplace_merge(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(order.size() / 2),
                       order.end(), less);
}

// An entry with the first eight bytes of its name as one number, in which
// names compare as their first eight bytes do: most comparisons of a sort
// are settled without reading the entry.
struct KeyedEntry {
  std::uint64_t prefix;
  CLabelEntry* entry;
};

std::uint64_t NamePrefix(std::string_view name) {
  std::uint64_t prefix = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    prefix <<= 8;
    if (i < name.size()) prefix |= static_cast<unsigned char>(name[i]);
  }
  return prefix;
}

}  // namespace

CLabelList::CLabelList() { m_order.reserve(kInitialCapacity); }

CLabelList::~CLabelList() = default;

CLabelEntry& CLabelList::NewEntry() {
  if (m_entryBlocks.empty() ||
      m_entryBlocks.back().size() == m_entryBlocks.back().capacity()) {
    const std::size_t size =
        m_entryBlocks.empty()
            ? kInitialCapacity
            : std::min(kMaxEntryBlock, 2 * m_entryBlocks.back().capacity());
    m_entryBlocks.emplace_back().reserve(size);
  }
  // Within its reserved capacity a block never reallocates, so the
  // addresses in m_order stay valid.
  return m_entryBlocks.back().emplace_back();
}

std::string_view CLabelList::StoreText(std::string_view bytes) {
  if (bytes.empty()) return {};
  if (bytes.size() > m_textRoom) {
    const std::size_t doublings = std::min<std::size_t>(m_textBlocks.size(), 8);
    const std::size_t size =
        std::max(std::min(kMaxTextBlock, kFirstTextBlock << doublings), bytes.size());
    // Left uninitialized, as every byte is written before it is read.
    m_textBlocks.push_back(std::unique_ptr<char[]>(new char[size]));
    m_textFree = m_textBlocks.back().get();
    m_textRoom = size;
  }
  char* stored = m_textFree;
  std::memcpy(stored, bytes.data(), bytes.size());
  m_textFree += bytes.size();
  m_textRoom -= bytes.size();
  return {stored, bytes.size()};
}

void CLabelList::Add(std::string_view name, int line, std::string_view text, int kind) {
  if (m_order.size() == m_order.capacity()) {
    // The first step adds kGrowthStep entries of room; later steps add half
    // the capacity, so that a list of a million labels is not grown a
    // thousand times over.
    const std::size_t capacity = m_order.capacity();
    m_order.reserve(capacity + std::max<std::size_t>(kGrowthStep, capacity / 2));
  }
  CLabelEntry& entry = NewEntry();
  // A piece is far shorter; a longer text is kept as far as its size counts.
  text = text.substr(0, std::numeric_limits<std::uint32_t>::max());
  const std::string_view stored = StoreText(text);
  entry.textData = stored.data();
  entry.textSize = static_cast<std::uint32_t>(stored.size());
  // The scanner's names are part of their line, so they share its bytes.
  entry.name = Contains(text, name)
                   ? stored.substr(static_cast<std::size_t>(name.data() - text.data()), name.size())
                   : StoreText(name);
  entry.line = line;
  entry.kind = static_cast<std::int16_t>(kind);
  m_order.push_back(&entry);
}

void CLabelList::SetPlace(int index, int line, std::uint64_t lineOffset, std::uint64_t begin,
                          std::string_view lineText, std::string_view piece) {
  if (!InRange(index)) return;
  CLabelEntry& entry = *m_order[index];
  entry.placeLine = line;
  entry.lineOffsetLow = static_cast<std::uint32_t>(lineOffset);
  entry.lineOffsetHigh = static_cast<std::uint8_t>(lineOffset >> 32);
  entry.placeBegin = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(begin, std::numeric_limits<std::uint32_t>::max()));
  std::string_view piecesLine = piece;
  if (piecesLine.ends_with('\n')) piecesLine.remove_suffix(1);
  entry.ownLineText = !(lineText.data() == piecesLine.data() &&
                        lineText.size() == piecesLine.size() && entry.textSize == piece.size());
  if (entry.ownLineText) m_lineTexts[&entry] = StoreText(lineText);
}

CPlace CLabelList::PlaceOf(const CLabelEntry& entry) const {
  CPlace place;
  place.line = entry.placeLine;
  place.lineOffset = entry.LineOffset();
  if (entry.ownLineText) {
    const auto it = m_lineTexts.find(&entry);
    if (it != m_lineTexts.end()) place.lineText = it->second;
  } else {
    place.lineText = entry.Text();
    if (place.lineText.ends_with('\n')) place.lineText.remove_suffix(1);
  }
  const std::size_t cr = entry.name.find('\r');
  const std::uint64_t length = cr == std::string_view::npos ? entry.name.size() : cr;
  place.begin = entry.placeBegin;
  place.end = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(entry.placeBegin + length, std::numeric_limits<std::uint32_t>::max()));
  return place;
}

void CLabelList::MarkUnclosed(int index) {
  if (InRange(index)) m_order[index]->unclosed = true;
}

void CLabelList::MarkShadowed(int index) {
  if (InRange(index)) m_order[index]->shadowed = true;
}

std::string CLabelList::GetName(int index) const {
  return InRange(index) ? std::string(m_order[index]->name) : std::string();
}

std::string CLabelList::GetText(int index) const {
  return InRange(index) ? std::string(m_order[index]->Text()) : std::string();
}

int CLabelList::GetLine(int index) const {
  return InRange(index) ? m_order[index]->line : -1;
}

int CLabelList::GetKind(int index) const {
  return InRange(index) ? m_order[index]->kind : 0;
}

void CLabelList::MarkUsed(int index) {
  if (InRange(index)) m_order[index]->used = true;
}

bool CLabelList::IsUsed(int index) const {
  return InRange(index) && m_order[index]->used;
}

void CLabelList::Append(CLabelList& other,
                        const std::function<void(CLabelEntry&)>& adjust) {
  if (&other == this) return;
  m_order.reserve(m_order.size() + other.m_order.size());
  for (CLabelEntry* entry : other.m_order) {
    adjust(*entry);
    m_order.push_back(entry);
  }
  // Moving a block moves its buffer, not the entries in it. The last one
  // moved may have room left, which later entries then fill.
  for (std::vector<CLabelEntry>& block : other.m_entryBlocks)
    m_entryBlocks.push_back(std::move(block));
  for (std::unique_ptr<char[]>& block : other.m_textBlocks)
    m_textBlocks.push_back(std::move(block));
  m_lineTexts.merge(other.m_lineTexts);
  other.m_order.clear();
  other.m_entryBlocks.clear();
  other.m_textBlocks.clear();
  other.m_textFree = nullptr;
  other.m_textRoom = 0;
  other.m_lineTexts.clear();
}

void CLabelList::Sort(const CCodePage& codePage) {
  // The sort is stable: equal names stay in the order they were added,
  // which the duplicate report relies on. A single-byte code page orders by
  // unsigned byte value, which string_view's own comparison does fastest.
  if (!codePage.IsDoubleByte()) {
    // Names that differ in their first eight bytes compare as those do; a
    // shorter name counts its missing bytes as 0, which only ties it with
    // a longer one that has zero bytes there, and ties compare whole names.
    std::vector<KeyedEntry> keyed(m_order.size());
    StableSort(
        keyed,
        [](const KeyedEntry& a, const KeyedEntry& b) {
          if (a.prefix != b.prefix) return a.prefix < b.prefix;
          return a.entry->name < b.entry->name;
        },
        [&](std::size_t begin, std::size_t end) {
          for (std::size_t i = begin; i < end; ++i)
            keyed[i] = {NamePrefix(m_order[i]->name), m_order[i]};
        });
    for (std::size_t i = 0; i < keyed.size(); ++i) m_order[i] = keyed[i].entry;
    return;
  }
  StableSort(
      m_order,
      [&codePage](const CLabelEntry* a, const CLabelEntry* b) {
        return codePage.Compare(a->name, b->name) < 0;
      },
      [](std::size_t, std::size_t) {});
}
