// The windowed test's hook: drives the real window from inside the process.
#include <wx/filename.h>
#include <wx/timer.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "gui/wxtoolkit.h"
#include "gui/wxwindows.h"

namespace tabulon {

namespace {

void say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

std::string rectText(const wxRect& r) {
  std::ostringstream out;
  out << r.x << ' ' << r.y << ' ' << r.width << ' ' << r.height;
  return out.str();
}

std::string describeChild(wxWindow* child) {
  if (auto* link = dynamic_cast<Hyperlink*>(child)) return "link " + link->caption();
  if (auto* button = dynamic_cast<wxButton*>(child)) return "button " + fromWx(button->GetLabel());
  if (dynamic_cast<TextBox*>(child) != nullptr) return "text";
  return "other";
}

class ScriptRunner final : public wxEvtHandler {
 public:
  ScriptRunner(WxToolkit& toolkit, const std::string& script) : toolkit_(toolkit), timer_(this) {
    std::istringstream in(script);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) commands_.push_back(line);
    }
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { resume(); });
  }
  ~ScriptRunner() override { timer_.Stop(); }

  void start() { wxTheApp->CallAfter([this] { resume(); }); }

 private:
  // Runs commands until one has to wait or the script ends.
  void resume() {
    if (!waitingFor_.empty()) {
      if (!std::filesystem::exists(waitingFor_)) {
        timer_.StartOnce(50);
        return;
      }
      waitingFor_.clear();
    }
    while (next_ < commands_.size()) {
      std::string line = commands_[next_++];
      if (!run(line)) return;
    }
  }

  // Returns false when the script must wait (or has ended).
  bool run(const std::string& line) {
    std::string verb = line.substr(0, line.find(' '));
    std::string rest = line.size() > verb.size() ? line.substr(verb.size() + 1) : std::string();
    WxFrame* frame = toolkit_.firstFrame();
    if (verb == "pause") {
      timer_.StartOnce(std::stoi(rest));
      return false;
    }
    if (verb == "waitfile") {
      waitingFor_ = rest;
      timer_.StartOnce(50);
      return false;
    }
    if (verb == "print") {
      say(rest);
    } else if (verb == "report" && frame != nullptr) {
      report(*frame);
    } else if (verb == "resize" && frame != nullptr) {
      int width = 0;
      int height = 0;
      std::istringstream(rest) >> width >> height;
      frame->SetSize(width, height);
    } else if (verb == "move" && frame != nullptr) {
      int x = 0;
      int y = 0;
      std::istringstream(rest) >> x >> y;
      frame->Move(x, y);
    } else if ((verb == "hover" || verb == "leave") && frame != nullptr) {
      if (wxWindow* link = findLink(*frame, rest)) {
        wxMouseEvent event(verb == "hover" ? wxEVT_ENTER_WINDOW : wxEVT_LEAVE_WINDOW);
        event.SetEventObject(link);
        link->ProcessWindowEvent(event);
      }
    } else if (verb == "drop" && toolkit_.firstTextBox() != nullptr) {
      drop(rest);
    } else if (verb == "close" && frame != nullptr) {
      frame->Close(true);
      next_ = commands_.size();  // the frame and its controls are going away
      return false;
    } else {
      say("script: unknown command: " + line);
    }
    return true;
  }

  static std::vector<wxWindow*> panelChildren(WxFrame& frame) {
    std::vector<wxWindow*> children;
    for (wxWindow* child : frame.GetChildren()) {
      if (dynamic_cast<WxPanel*>(child) == nullptr) continue;
      for (wxWindow* control : child->GetChildren()) children.push_back(control);
    }
    return children;
  }

  static wxWindow* findLink(WxFrame& frame, const std::string& caption) {
    for (wxWindow* child : panelChildren(frame)) {
      auto* link = dynamic_cast<Hyperlink*>(child);
      if (link != nullptr && link->caption() == caption) return child;
    }
    return nullptr;
  }

  void report(WxFrame& frame) {
    say("title " + frame.title());
    Size outer = frame.outerSize();
    say("outer " + std::to_string(outer.width) + " " + std::to_string(outer.height));
    for (wxWindow* child : frame.GetChildren()) {
      auto* panel = dynamic_cast<WxPanel*>(child);
      if (panel == nullptr) continue;
      Size client = panel->clientSize();
      say("panel " + std::to_string(client.width) + " " + std::to_string(client.height));
      for (wxWindow* control : panel->GetChildren()) {
        say("rect " + rectText(control->GetRect()) + " " + describeChild(control));
        if (auto* link = dynamic_cast<Hyperlink*>(control)) {
          const wxFont font = control->GetFont();
          std::ostringstream line;
          line << "linkfont " << font.GetFractionalPointSize() << ' ' << font.GetNumericWeight()
               << ' ' << (font.GetUnderlined() ? 1 : 0) << ' ' << link->caption();
          say(line.str());
        }
      }
    }
    say("status " + frame.statusText());
  }

  // Hands the paths to the text box's own drop target, as a drop from the
  // file manager would.
  void drop(const std::string& joined) {
    wxArrayString files;
    std::istringstream in(joined);
    for (std::string path; std::getline(in, path, '|');) files.Add(toWx(path));
    auto* target = dynamic_cast<wxFileDropTarget*>(toolkit_.firstTextBox()->GetDropTarget());
    if (target != nullptr) target->OnDropFiles(0, 0, files);
  }

  WxToolkit& toolkit_;
  wxTimer timer_;
  std::vector<std::string> commands_;
  size_t next_ = 0;
  std::string waitingFor_;
};

}  // namespace

void scheduleTestScript(Toolkit& toolkit, const std::string& script) {
  auto& wx = dynamic_cast<WxToolkit&>(toolkit);
  auto runner = std::make_unique<ScriptRunner>(wx, script);
  runner->start();
  wx.adoptScript(std::move(runner));
}

}  // namespace tabulon
