// A text document as the editor holds it: its UTF-8 bytes, its version, and
// where its lines start, kept up to date through the editor's edits.
#ifndef VELTRANE_LSP_DOCUMENT_H_
#define VELTRANE_LSP_DOCUMENT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "lsp/position.h"

class CDocument {
 public:
  CDocument(std::string text, std::int64_t version);

  const std::string& Text() const { return m_text; }
  std::int64_t Version() const { return m_version; }
  void SetVersion(std::int64_t version) { m_version = version; }

  // Lines end at LF, CR LF or a lone CR; a text that ends with a line end
  // has an empty last line after it.
  std::size_t LineCount() const { return m_lineStarts.size(); }
  // The text of line `line` without its end; "" past the last line.
  std::string_view LineText(std::size_t line) const;
  std::size_t LineStart(std::size_t line) const;

  // The byte offset of `position`. A line past the last gives the text's
  // end; a character past its line's end gives the line's end.
  std::size_t OffsetOf(const CPosition& position, PositionEncoding encoding) const;

  // Applies `changes` in their order, each to the text the ones before it
  // left: a change with a range replaces the bytes between its start and
  // its end (clamped as OffsetOf does; an end before the start counts as
  // the start), one without replaces the whole text. Costs about one pass
  // over the text when the changes come in file order or its reverse, as a
  // replace-all sends them. Takes the changes' texts.
  void ApplyChanges(std::span<CTextChange> changes, PositionEncoding encoding);
  // One change, as ApplyChanges.
  void Replace(const CRange& range, std::string_view text, PositionEncoding encoding);
  void SetText(std::string text);

 private:
  void IndexLines();

  std::string m_text;
  std::int64_t m_version;
  std::vector<std::size_t> m_lineStarts;
};

#endif  // VELTRANE_LSP_DOCUMENT_H_
