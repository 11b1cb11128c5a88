#include "checker/label_list.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

// Blocks start small, since most instrument files hold a few hundred labels,
// and double up to a limit, so that a large file needs few of them and a
// small one touches little memory.
constexpr std::size_t kMaxEntryBlock = 64 * 1024;
constexpr std::size_t kFirstTextBlock = 16 * 1024;
constexpr std::size_t kMaxTextBlock = 4 * 1024 * 1024;

bool Contains(std::string_view outer, std::string_view inner) {
  const std::less_equal<const char*> le;
  return !inner.empty() && le(outer.data(), inner.data()) &&
         le(inner.data() + inner.size(), outer.data() + outer.size());
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
    m_textBlocks.push_back(std::make_unique_for_overwrite<char[]>(size));
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
  entry.text = StoreText(text);
  // The scanner's names are part of their line, so they share its bytes.
  entry.name = Contains(text, name)
                   ? entry.text.substr(static_cast<std::size_t>(name.data() - text.data()),
                                       name.size())
                   : StoreText(name);
  entry.line = line;
  entry.kind = kind;
  m_order.push_back(&entry);
}

void CLabelList::SetPlace(int index, CPlace place, std::string_view lineText,
                          std::string_view piece) {
  if (!InRange(index)) return;
  CLabelEntry& entry = *m_order[index];
  const auto size = static_cast<std::uint32_t>(lineText.size());
  place.begin = std::min(place.begin, size);
  place.end = std::min(place.end, size);
  if (Contains(piece, lineText) && entry.text.size() == piece.size()) {
    place.lineText = entry.text.substr(
        static_cast<std::size_t>(lineText.data() - piece.data()), lineText.size());
  } else {
    place.lineText = StoreText(lineText);
  }
  entry.place = place;
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
  return InRange(index) ? std::string(m_order[index]->text) : std::string();
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

void CLabelList::Sort(const CCodePage& codePage) {
  // The sort is stable: equal names stay in the order they were added,
  // which the duplicate report relies on. A single-byte code page orders by
  // unsigned byte value, which string_view's own comparison does fastest.
  if (!codePage.IsDoubleByte()) {
    std::stable_sort(m_order.begin(), m_order.end(),
                     [](const CLabelEntry* a, const CLabelEntry* b) {
                       return a->name < b->name;
                     });
    return;
  }
  std::stable_sort(m_order.begin(), m_order.end(),
                   [&codePage](const CLabelEntry* a, const CLabelEntry* b) {
                     return codePage.Compare(a->name, b->name) < 0;
                   });
}
