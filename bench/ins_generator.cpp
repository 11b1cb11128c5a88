#include "bench/ins_generator.h"

#include <array>
#include <vector>

namespace {

// splitmix64: small, fast, and the same on every platform, unlike the
// distributions of <random>.
class Random {
 public:
  explicit Random(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
  bool OneIn(std::size_t n) { return Below(n) == 0; }
  template <typename T, std::size_t N>
  const T& Pick(const std::array<T, N>& items) { return items[Below(N)]; }

 private:
  std::uint64_t m_state;
};

constexpr std::array<std::string_view, 12> kMakers = {
    "Kessel", "Aurora", "Northwind", "Brightline", "Sonder", "Vellum",
    "Orchard", "Tamber", "Halcyon", "Meridian", "Quarry", "Lumen"};
constexpr std::array<std::string_view, 16> kTones = {
    "Warm", "Bright", "Soft", "Wide", "Dark", "Glass", "Vintage", "Clean",
    "Hollow", "Airy", "Deep", "Crisp", "Dusty", "Silk", "Steel", "Velvet"};
constexpr std::array<std::string_view, 24> kInstruments = {
    "Piano", "Organ", "Strings", "Brass", "Choir", "Pad", "Lead", "Bass",
    "Guitar", "Harp", "Flute", "Clarinet", "Marimba", "Bells", "Sitar",
    "Trumpet", "Cello", "Koto", "Synth", "Sweep", "Voice", "Horn", "Oboe",
    "Accordion"};
constexpr std::array<std::string_view, 16> kDrums = {
    "Kick", "Snare", "Rim", "Clap", "Closed Hat", "Open Hat", "Pedal Hat",
    "Low Tom", "Mid Tom", "High Tom", "Crash", "Ride", "Splash", "China",
    "Cowbell", "Tambourine"};
constexpr std::array<std::string_view, 8> kKits = {
    "Standard", "Room", "Power", "Electronic", "Jazz", "Brush", "Orchestra",
    "Analog"};
constexpr std::array<std::string_view, 12> kControls = {
    "Modulation", "Breath", "Foot", "Portamento Time", "Volume", "Balance",
    "Pan", "Expression", "Sustain", "Sostenuto", "Resonance", "Cutoff"};
constexpr std::array<std::string_view, 6> kRpns = {
    "Pitch Bend Sensitivity", "Fine Tuning", "Coarse Tuning",
    "Tuning Program Select", "Tuning Bank Select", "Modulation Depth"};

// A module's text, built line by line with CR LF line ends.
class ModuleWriter {
 public:
  explicit ModuleWriter(std::string& text) : m_text(text) {}

  // One line made of `parts`, strings or numbers.
  template <typename... Parts>
  void Line(const Parts&... parts) {
    (Append(parts), ...);
    m_text.append("\r\n");
  }
  // A section header after a blank line.
  void Section(std::string_view header) {
    Line();
    Line(header);
  }
  // A list's label line after a blank line.
  void Label(std::string_view name) {
    Line();
    Line("[", name, "]");
  }

 private:
  void Append(std::string_view s) { m_text.append(s); }
  void Append(const std::string& s) { m_text.append(s); }
  void Append(const char* s) { m_text.append(s); }
  void Append(std::size_t n) { m_text.append(std::to_string(n)); }

  std::string& m_text;
};

// The way people mistype a list's name: two letters swapped.
std::string Misspell(std::string name, Random& random) {
  if (name.size() < 4) return name + "s";
  const std::size_t i = 1 + random.Below(name.size() - 2);
  std::swap(name[i], name[i - 1]);
  if (name[i] == name[i - 1]) name.insert(i, 1, name[i]);
  return name;
}

// A reference as written: now and then misspelt.
std::string Refer(const std::string& name, Random& random) {
  return random.OneIn(400) ? Misspell(name, random) : name;
}

// Appends sound module `index`. `previous` is the last module's instrument,
// which a new one may be based on; it becomes this module's.
void WriteModule(std::size_t index, Random& random, std::string& previous,
                 std::string& text) {
  ModuleWriter w(text);
  const std::string model = std::string(random.Pick(kMakers)) + " " +
                            static_cast<char>('A' + random.Below(26)) + "X-" +
                            std::to_string(index + 1);

  w.Line("; ", model, ": written from the owner's manual, page ",
         1 + random.Below(300));

  w.Section(".Patch Names");
  std::vector<std::string> banks;
  const std::size_t bankCount = 2 + random.Below(3);
  for (std::size_t b = 0; b < bankCount; ++b) {
    banks.push_back(model + " Bank " + static_cast<char>('A' + b));
    w.Label(banks.back());
    for (std::size_t p = 0; p < 128; ++p) {
      const std::size_t variant = random.OneIn(3) ? 1 + random.Below(9) : 0;
      w.Line(p, "=", random.Pick(kTones), " ", random.Pick(kInstruments),
             variant ? " " + std::to_string(variant) : "");
    }
  }
  // Lists copied in twice by accident.
  if (random.OneIn(50)) {
    w.Label(banks.front());
    w.Line("0=", random.Pick(kTones), " ", random.Pick(kInstruments));
  }

  w.Section(".Note Names");
  std::vector<std::string> kits;
  const std::size_t kitCount = 1 + random.Below(3);
  for (std::size_t k = 0; k < kitCount; ++k) {
    kits.push_back(model + " " + std::string(kKits[(index + k) % kKits.size()]) + " Kit");
    w.Label(kits.back());
    if (k > 0) w.Line("BasedOn=", Refer(kits.front(), random));
    const std::size_t notes = 12 + random.Below(36);
    for (std::size_t n = 35; n < 35 + notes; ++n) {
      const std::size_t variant = random.OneIn(2) ? 1 + random.Below(4) : 0;
      w.Line(n, "=", random.Pick(kDrums),
             variant ? " " + std::to_string(variant) : "");
    }
  }

  const std::string controllers = model + " Controllers";
  w.Section(".Controller Names");
  w.Label(controllers);
  for (std::size_t c = 0; c < 128; ++c) {
    w.Line(c, "=", kControls[c % kControls.size()],
           c >= kControls.size() ? " " + std::to_string(c) : "");
  }

  const std::string rpn = model + " RPN";
  w.Section(".RPN Names");
  w.Label(rpn);
  for (std::size_t r = 0; r < kRpns.size(); ++r) w.Line(r, "=", kRpns[r]);

  const std::string nrpn = model + " NRPN";
  w.Section(".NRPN Names");
  w.Label(nrpn);
  for (std::size_t r = 0; r < 16; ++r)
    w.Line(136 + r * 128, "=", random.Pick(kTones), " ", random.Pick(kControls));

  w.Section(".Instrument Definitions");
  w.Label(model);
  if (!previous.empty() && random.OneIn(4))
    w.Line("BasedOn=", Refer(previous, random));
  previous = model;
  w.Line("Control=", Refer(controllers, random));
  w.Line("RPN=", Refer(rpn, random));
  w.Line("NRPN=", Refer(nrpn, random));
  w.Line("Patch[*]=", random.OneIn(2) ? "1..128" : "0..127");
  // Now and then a bank that no instrument uses.
  const std::size_t usedBanks = random.OneIn(30) ? bankCount - 1 : bankCount;
  for (std::size_t b = 0; b < usedBanks; ++b)
    w.Line("Patch[", b * 128, "]=", Refer(banks[b], random));
  w.Line("Key[*,*]=0..127");
  for (std::size_t k = 0; k < kits.size(); ++k)
    w.Line("Key[", bankCount * 128, ",", k * 8, "]=", Refer(kits[k], random));
  w.Line("Drum[", bankCount * 128, ",*]=1");
}

}  // namespace

std::uint64_t GenerateIns(std::uint64_t seed, std::uint64_t targetBytes,
                          const InsSink& out) {
  Random random(seed);
  std::string text =
      "; Instrument definitions for the studio's sound modules.\r\n"
      "; Generated for measurements; names are made up.\r\n\r\n";
  std::string previous;
  std::uint64_t written = 0;
  for (std::size_t module = 0; written + text.size() < targetBytes || module == 0;
       ++module) {
    WriteModule(module, random, previous, text);
    if (text.size() >= 64 * 1024) {
      out(text);
      written += text.size();
      text.clear();
    }
  }
  out(text);
  return written + text.size();
}

std::string GenerateInsText(std::uint64_t seed, std::uint64_t targetBytes) {
  std::string text;
  GenerateIns(seed, targetBytes, [&text](std::string_view piece) { text.append(piece); });
  return text;
}
