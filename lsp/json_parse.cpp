#include "lsp/json_parse.h"

#include <string>
#include <utility>
#include <vector>

namespace {

// Builds the value as nlohmann/json's own DOM parser does, moving every
// string and key out of the scanner instead of copying it.
class CMovingBuilder : public nlohmann::json_sax<Json> {
 public:
  explicit CMovingBuilder(Json& root) : m_root(root) {}

  bool TooDeep() const { return m_tooDeep; }
  bool TooMany() const { return m_tooMany; }

  bool null() override { return Add(nullptr); }
  bool boolean(bool value) override { return Add(value); }
  bool number_integer(number_integer_t value) override { return Add(value); }
  bool number_unsigned(number_unsigned_t value) override { return Add(value); }
  bool number_float(number_float_t value, const string_t&) override { return Add(value); }
  bool string(string_t& value) override { return Add(std::move(value)); }
  bool binary(binary_t& value) override { return Add(Json::binary(std::move(value))); }
  bool start_object(std::size_t) override { return Open(Json::object()); }
  bool key(string_t& key) override {
    m_key = std::move(key);
    return true;
  }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override { return Open(Json::array()); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  // Adds `value` where the parse stands: the root, the end of the open
  // array, or the open object's last key. Open containers never move: an
  // array only grows while none of its elements is open.
  Json* Place(Json&& value) {
    if (m_open.empty()) {
      m_root = std::move(value);
      return &m_root;
    }
    Json& container = *m_open.back();
    if (container.is_array()) {
      container.push_back(std::move(value));
      return &container.back();
    }
    Json& slot = container[m_key];
    slot = std::move(value);
    return &slot;
  }
  // Past the most values allowed only the message's own members that are
  // no containers are built (its id and method, for the answer).
  bool Full() const { return m_built >= kMaxJsonValues && m_open.size() > 1; }
  bool Add(Json&& value) {
    if (m_skipped > 0) return true;
    if (Full()) {
      m_tooMany = true;
      return true;
    }
    Place(std::move(value));
    ++m_built;
    return true;
  }
  // A container beyond the deepest allowed, or past the most values, is
  // read through, not built; null stands in its place.
  bool Open(Json&& container) {
    if (m_skipped > 0 || m_open.size() == kMaxJsonDepth || (m_built >= kMaxJsonValues && !m_open.empty())) {
      if (m_skipped++ == 0) {
        (m_open.size() == kMaxJsonDepth ? m_tooDeep : m_tooMany) = true;
        if (!Full()) {
          Place(nullptr);
          ++m_built;
        }
      }
      return true;
    }
    m_open.push_back(Place(std::move(container)));
    ++m_built;
    return true;
  }
  bool Close() {
    if (m_skipped > 0) --m_skipped;
    else m_open.pop_back();
    return true;
  }

  Json& m_root;
  std::vector<Json*> m_open;
  std::string m_key;
  std::size_t m_skipped = 0;  // containers open that are read through
  std::size_t m_built = 0;    // values built
  bool m_tooDeep = false;
  bool m_tooMany = false;
};

}  // namespace

std::optional<CParsedJson> ParseJson(std::string_view text) {
  CParsedJson parsed;
  CMovingBuilder builder(parsed.value);
  if (!Json::sax_parse(text, &builder)) return std::nullopt;
  parsed.tooDeep = builder.TooDeep();
  parsed.tooMany = builder.TooMany();
  return parsed;
}
