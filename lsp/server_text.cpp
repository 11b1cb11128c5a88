#include "lsp/server_text.h"

#include "checker/finding_text.h"

namespace {

// "N thing" or "N things".
std::string Count(std::size_t count, std::string_view thing) {
  return std::to_string(count) + " " + std::string(thing) + (count == 1 ? "" : "s");
}

std::string Refusal(const std::string& why) { return "Cannot rename: " + why; }

}  // namespace

std::string ResolvedReferenceHover(std::string_view name, std::string_view section, int line) {
  return "List " + Quoted(name) + " under " + std::string(section) + ", line " +
         std::to_string(line);
}

std::string UnresolvedReferenceHover(std::string_view name, std::string_view section,
                                     const std::vector<std::string_view>& notes) {
  std::string text = "No list " + Quoted(name) + " under " + std::string(section);
  for (const std::string_view note : notes) text += "\n\n" + std::string(note);
  return text;
}

std::string ShadowedListHover(std::string_view name, std::string_view section, int firstLine) {
  return "A second list " + Quoted(name) + " under " + std::string(section) +
         ": references use the one in line " + std::to_string(firstLine);
}

std::string InstrumentHover(std::string_view name, std::size_t uses) {
  return "Instrument " + Quoted(name) +
         (uses == 0 ? std::string() : ", the base of " + Count(uses, "instrument"));
}

std::string ListHover(std::string_view name, std::string_view section, std::size_t uses) {
  return "List " + Quoted(name) + " under " + std::string(section) + ": " +
         (uses == 0 ? std::string("no reference uses it") : "used by " + Count(uses, "reference"));
}

std::string OutlineDetail(int line) { return "line " + std::to_string(line); }

std::string ListCompletionDetail(std::string_view section, int line) {
  return std::string(section) + ", line " + std::to_string(line);
}

std::string NumberedListDetail(std::string_view name) {
  return name == "0..127" ? "numbered 0 to 127" : "numbered 1 to 128";
}

std::string NothingToRename() { return Refusal("there is no list name or reference here"); }

std::string NoListToRename(std::string_view name, std::string_view section) {
  return Refusal("no list " + Quoted(name) + " stands under " + std::string(section) +
                 " for this reference to name");
}

std::string UnnamedListRename() {
  return Refusal("the label line has no closing \"]\", so its list has no name");
}

std::string EmptyNewName() { return Refusal("a list needs a name"); }

std::string BracketInNewName() {
  return Refusal("a list name cannot hold \"]\": it would end the label there");
}

std::string LineEndInNewName() { return Refusal("a list name cannot hold a line end"); }

std::string ControlInNewName() {
  return Refusal("a list name cannot hold a tab or another control character");
}

std::string BlankAtNewNameEnd() {
  return Refusal("a list name cannot start or end with a blank: the label would be read trimmed");
}

std::string SemicolonInNewName() {
  return Refusal("a list name cannot hold \";\": a comment would start there");
}

std::string NumberedNewName(std::string_view newName) {
  return Refusal(Quoted(newName) +
                 " names the built-in numbered list in Patch and Key lines, so the references "
                 "would no longer name this list");
}

std::string NewNameTaken(std::string_view newName, std::string_view section, int line) {
  return Refusal("a list " + Quoted(newName) + " already stands under " + std::string(section) +
                 " in line " + std::to_string(line));
}

std::string LineTooLongAfterRename(int line, std::size_t length, std::size_t longest) {
  return Refusal("line " + std::to_string(line) + " would be " + std::to_string(length) +
                 " bytes long, and a line over " + std::to_string(longest) +
                 " bytes is read as two");
}
