// libFuzzer entry: each input is a session with the language server, fed
// through the same framing, JSON parsing, lifecycle, edits and features as
// standard input would feed it. The first byte chooses how the rest is
// read: as a raw byte stream (hostile framing), or as message bodies
// separated by 0x1C that get proper headers (so that the fuzzer reaches the
// JSON and the edits), optionally after an initialize and a didOpen of a
// small file (so that it reaches the features), or as a broken header
// (the bytes without their LFs, so that no header line of their own is
// whole) followed by good requests. Besides crashes and sanitizer reports
// it stops when the server breaks its promises: every message it sends is
// a JSON-RPC 2.0 object; each open document's line index is the one its
// text gives afresh; every published diagnostic lies within its document;
// every good request after a broken header is answered.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/promise.h"
#include "lsp/document.h"
#include "lsp/framing.h"
#include "lsp/json.h"
#include "lsp/server.h"

namespace {

constexpr char kSeparator = '\x1c';

const char kInitialize[] =
    R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"capabilities":{}}})";
const char kInitializeUtf8[] =
    R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"capabilities":)"
    R"({"general":{"positionEncodings":["utf-8"]}}}})";
const char kOpen[] =
    R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":)"
    R"({"uri":"file:///f.ins","languageId":"ins","version":1,"text":)"
    R"(".Note Names\n[Drums]\n[Drums]\n.Controller Names\r\n[Std]\r.Instrument Definitions\n)"
    R"([I]\nKey[*,*]=Drums\nControl=Sdt\nPatch[*]=1..128\nBasedOn=I"}}})";

constexpr int kProbes = 3;

// A request every server state answers, if only with an error.
std::string Probe(int n) {
  return R"({"jsonrpc":"2.0","id":"probe-)" + std::to_string(n) + R"(","method":"veltrane/probe"})";
}

struct CSession {
  std::map<std::string, Json> lastDiagnostics;  // by URI
  std::vector<bool> probeAnswered = std::vector<bool>(kProbes, false);
};

void CheckOutgoing(const std::string& body, CSession& session) {
  const Json message = Json::parse(body, nullptr, false);
  Expect(message.is_object() && message.value("jsonrpc", "") == "2.0",
         "every message sent is a JSON-RPC 2.0 object");
  const auto id = message.find("id");
  if (id != message.end() && id->is_string() && id->get<std::string>().starts_with("probe-"))
    session.probeAnswered.at(std::stoul(id->get<std::string>().substr(6))) = true;
  if (message.value("method", "") == "textDocument/publishDiagnostics")
    session.lastDiagnostics[message["params"]["uri"].get<std::string>()] =
        message["params"]["diagnostics"];
}

void CheckDocuments(const CLspServer& server, const CSession& session) {
  for (const auto& [uri, document] : server.Documents()) {
    const CDocument fresh(document->Text(), 0);
    Expect(fresh.LineCount() == document->LineCount(), "edits keep the line count");
    for (std::size_t line = 0; line < fresh.LineCount(); ++line)
      Expect(fresh.LineStart(line) == document->LineStart(line), "edits keep the line starts");
    const auto published = session.lastDiagnostics.find(uri);
    if (published == session.lastDiagnostics.end()) continue;
    for (const Json& diagnostic : published->second) {
      for (const char* end : {"start", "end"}) {
        const Json& position = diagnostic["range"][end];
        const auto line = position["line"].get<std::size_t>();
        Expect(line < document->LineCount(), "diagnostics lie within their document");
        Expect(position["character"].get<std::size_t>() <= document->LineText(line).size(),
               "diagnostics lie within their line");
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);

  CSession session;
  CLspServer server([&session](const std::string& body) { CheckOutgoing(body, session); }, {},
                    "fuzz");
  std::string stream;
  const bool probing = (mode & 3) == 3;
  if (probing) {
    std::remove_copy(rest.begin(), rest.end(), std::back_inserter(stream), '\n');
    for (int n = 0; n < kProbes; ++n) stream += FrameMessage(Probe(n));
  } else if (mode & 1) {
    stream.assign(rest);
  } else {
    if (mode & 2) {
      stream += FrameMessage((mode & 4) ? kInitializeUtf8 : kInitialize);
      stream += FrameMessage(kOpen);
    }
    std::size_t start = 0;
    while (start <= rest.size()) {
      const std::size_t stop = std::min(rest.find(kSeparator, start), rest.size());
      stream += FrameMessage(rest.substr(start, stop - start));
      start = stop + 1;
    }
  }
  // Small reads, so that frames cross the reader's buffer; the limit on a
  // body is small too, so that the skipping of large ones is reached.
  const std::size_t chunk = 1 + (mode >> 3);
  std::size_t position = 0;
  CMessageReader reader(
      [&](char* buffer, std::size_t room) {
        const std::size_t take = std::min({room, chunk, stream.size() - position});
        std::copy_n(stream.data() + position, take, buffer);
        position += take;
        return take;
      },
      4096);
  // Several messages at a time, as a busy client sends them.
  int batch = 0;
  while (auto frame = reader.Next()) {
    server.Receive(*frame);
    if (++batch % 3 == 0 || !reader.HasBufferedBytes()) {
      server.Process();
      CheckDocuments(server, session);
      if (server.ExitRequested()) return 0;
    }
  }
  server.Process();
  CheckDocuments(server, session);
  if (probing) {
    for (const bool answered : session.probeAnswered)
      Expect(answered, "every good request after a broken header is answered");
  }
  return 0;
}
