// A scripted stand-in for the window a dialog runs in: it records what the
// dialog enables, shows and opens, and answers file dialogs and message
// boxes from queues the test fills.
#ifndef VELTRANE_TESTS_UI_FAKE_SITE_H_
#define VELTRANE_TESTS_UI_FAKE_SITE_H_

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop/dialog.h"

class FakeSite : public CDialogSite {
 public:
  struct Message {
    std::string text;
    std::string caption;
    unsigned type;
    bool operator==(const Message&) const = default;
  };

  void EnableControl(int id, bool enable) override { enabled[id] = enable; }
  int MessageBox(const std::string& text, const std::string& caption,
                 unsigned type) override {
    messages.push_back({text, caption, type});
    if (messageAnswers.empty()) return IDOK;
    const int answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
  }
  int DoFileDialog(const CFileDialogParams& params,
                   std::string& path) override {
    fileDialogs.push_back(params);
    if (whileFileDialog) whileFileDialog();
    if (fileAnswers.empty()) return IDCANCEL;
    auto [result, answer] = fileAnswers.front();
    fileAnswers.pop_front();
    path = answer;
    return result;
  }
  void ShellOpen(const std::string& path) override { opened.push_back(path); }
  void EndDialog(int result) override { ended = result; }
  void SetIcon(HICON icon, bool big) override {
    icons.push_back({icon, big});
  }
  bool IsIconic() const override { return iconic; }
  CSize GetClientSize() const override { return client; }
  void DrawIcon(int x, int y, HICON icon) override {
    drawn.push_back({x, y, icon});
  }

  // "loaded" (Check on, Load off), "no file" (the reverse), or "?".
  std::string State() const {
    const bool check = enabled.count(1001) && enabled.at(1001);
    const bool load = enabled.count(1000) && enabled.at(1000);
    if (check && !load) return "loaded";
    if (!check && load) return "no file";
    return "?";
  }

  std::map<int, bool> enabled;
  std::vector<Message> messages;
  std::deque<int> messageAnswers;
  std::vector<CFileDialogParams> fileDialogs;
  std::deque<std::pair<int, std::string>> fileAnswers;
  // Runs while a file dialog is open: what the user may do meanwhile.
  std::function<void()> whileFileDialog;
  std::vector<std::string> opened;
  std::optional<int> ended;
  std::vector<std::pair<HICON, bool>> icons;
  bool iconic = false;
  CSize client;
  struct Drawn {
    int x, y;
    HICON icon;
    bool operator==(const Drawn&) const = default;
  };
  std::vector<Drawn> drawn;
};

// Runs every dialog on a FakeSite: records the template, initialises the
// dialog, clicks the controls in `clicks` and returns what it ended with.
class FakeBackend : public CDialogBackend {
 public:
  FakeBackend() { AfxSetDialogBackend(this); }
  ~FakeBackend() override { AfxSetDialogBackend(nullptr); }

  int DoModal(CDialog& dialog) override {
    templates.push_back(dialog.GetTemplateId());
    FakeSite& site = sites.emplace_back();
    dialog.InitDialog(site);
    for (int id : clicks) {
      if (site.ended) break;
      dialog.DispatchCommand(id);
    }
    dialog.DetachSite();
    return site.ended.value_or(-1);
  }

  std::vector<int> clicks;
  std::vector<int> templates;
  std::deque<FakeSite> sites;
};

#endif  // VELTRANE_TESTS_UI_FAKE_SITE_H_
