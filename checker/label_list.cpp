#include "checker/label_list.h"

#include <algorithm>
#include <utility>

CLabelList::CLabelList() { m_items.reserve(kInitialCapacity); }

CLabelList::~CLabelList() = default;

void CLabelList::Add(std::string name, int line, std::string text, int kind) {
  if (m_items.size() == m_items.capacity()) {
    // The first step adds kGrowthStep entries of room; later steps add half
    // the capacity, so that a list of a million labels is not moved a
    // thousand times over. Entries are moved, never copied.
    const std::size_t capacity = m_items.capacity();
    m_items.reserve(capacity + std::max<std::size_t>(kGrowthStep, capacity / 2));
  }
  CLabelEntry& entry = m_items.emplace_back();
  entry.name = std::move(name);
  entry.line = line;
  entry.text = std::move(text);
  entry.kind = kind;
}

std::string CLabelList::GetName(int index) const {
  return InRange(index) ? m_items[index].name : std::string();
}

std::string CLabelList::GetText(int index) const {
  return InRange(index) ? m_items[index].text : std::string();
}

int CLabelList::GetLine(int index) const {
  return InRange(index) ? m_items[index].line : -1;
}

int CLabelList::GetKind(int index) const {
  return InRange(index) ? m_items[index].kind : 0;
}

void CLabelList::MarkUsed(int index) {
  if (InRange(index)) m_items[index].used = true;
}

bool CLabelList::IsUsed(int index) const {
  return InRange(index) && m_items[index].used;
}

void CLabelList::Sort() {
  // std::string compares through char_traits<char>::compare, which orders by
  // unsigned byte value, and the sort is stable: equal names stay in the
  // order they were added, which the duplicate report relies on.
  std::stable_sort(m_items.begin(), m_items.end(),
                   [](const CLabelEntry& a, const CLabelEntry& b) {
                     return a.name < b.name;
                   });
}
