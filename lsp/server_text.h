// The sentences the language server itself shows people: hover texts, the
// details of completion items and outline entries, and why a rename is
// refused. The findings' and notes' words come from checker/finding_text.
// Names come in as the document holds them; sections as their headers.
#ifndef VELTRANE_LSP_SERVER_TEXT_H_
#define VELTRANE_LSP_SERVER_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Hover on a reference that resolves to the list at `line`.
std::string ResolvedReferenceHover(std::string_view name, std::string_view section, int line);
// Hover on a reference that resolves to nothing, with the notes on it.
std::string UnresolvedReferenceHover(std::string_view name, std::string_view section,
                                     const std::vector<std::string_view>& notes);
// Hover on a second list of a name and section; the first is at `firstLine`.
std::string ShadowedListHover(std::string_view name, std::string_view section, int firstLine);
// Hover on an instrument that `uses` instruments are based on.
std::string InstrumentHover(std::string_view name, std::size_t uses);
// Hover on a list that `uses` references use.
std::string ListHover(std::string_view name, std::string_view section, std::size_t uses);

// An outline entry's detail: "line N".
std::string OutlineDetail(int line);
// A completion item's detail for a list of the file, or for a built-in
// numbered list ("1..128", "0..127").
std::string ListCompletionDetail(std::string_view section, int line);
std::string NumberedListDetail(std::string_view name);

// Why a rename is refused.
std::string NothingToRename();
std::string NoListToRename(std::string_view name, std::string_view section);
std::string UnnamedListRename();
std::string EmptyNewName();
std::string BracketInNewName();
std::string LineEndInNewName();
std::string ControlInNewName();
std::string BlankAtNewNameEnd();
std::string SemicolonInNewName();
std::string NumberedNewName(std::string_view newName);
std::string NewNameTaken(std::string_view newName, std::string_view section, int line);
std::string LineTooLongAfterRename(int line, std::size_t length, std::size_t longest);

#endif  // VELTRANE_LSP_SERVER_TEXT_H_
