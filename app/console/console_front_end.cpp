// The console front end: the same run without a window, for servers, SSH sessions and CI.
//
// Captions are printed as "== caption ==", the gauge as a bar with its percentage whenever the shown value
// changes (overwritten in place on a terminal, one line each otherwise), and every box as "[caption] text",
// further lines of the text indented. Boxes are confirmed at once, so a run never waits for input. A script
// learns from the exit code whether the run completed, and whether a box reported a failure on the way.
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "app/exit_codes.h"
#include "app/front_end.h"

namespace app {
namespace {

class ConsoleFrontEnd : public FrontEnd {
 public:
  ConsoleFrontEnd(std::ostream& out, bool interactive_terminal)
      : out_(out), interactive_terminal_(interactive_terminal) {}

  int Run(const std::function<void()>& activate) override {
    activate();
    EndGaugeLine();
    out_.flush();
    if (!closed_) return kExitRunEnded;
    return failure_reported_ ? kExitCompletedWithFailures : kExitCompleted;
  }

  void ShowBox(ui::BoxKind kind, std::string_view text) override {
    if (ReportsFailure(kind)) failure_reported_ = true;
    EndGaugeLine();
    out_ << "[" << ui::BoxCaption(kind) << "] ";
    bool line_start = false;
    for (char c : text) {
      if (line_start && c != '\n') out_ << "  ";
      out_ << c;
      line_start = c == '\n';
    }
    out_ << "\n";
    out_.flush();
  }

  void SetCaption(std::string_view caption) override {
    EndGaugeLine();
    out_ << "== " << caption << " ==\n";
  }

  void SetGauge(int value) override {
    const int stored = ui::ClampGauge(value);
    if (stored == gauge_) return;
    gauge_ = stored;
    constexpr int kWidth = 50;
    const int filled = gauge_ * kWidth / ui::kGaugeMax;
    std::string bar = "[" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] ";
    const std::string percent = std::to_string(gauge_) + "%";
    bar += std::string(4 - percent.size(), ' ') + percent;
    if (interactive_terminal_) {
      out_ << "\r" << bar << std::flush;
      gauge_line_open_ = true;
    } else {
      out_ << bar << "\n";
    }
  }

  [[nodiscard]] int gauge() const override { return gauge_; }
  void SetCursor(ui::Cursor) override {}
  void ShowPicture(ui::Picture) override {}
  void ProcessMessages() override { out_.flush(); }
  void Close() override { closed_ = true; }

 private:
  // Every box but the completion message reports something that went wrong: the warning and error boxes
  // carry the text of a statement or connection the database layer rejected, and the plain boxes a failing
  // script batch or settings file. The unhandled-failure box ends the run, which Run sees by itself.
  static bool ReportsFailure(ui::BoxKind kind) {
    return kind == ui::BoxKind::kWarning || kind == ui::BoxKind::kError || kind == ui::BoxKind::kPlain;
  }

  // On a terminal the bar is redrawn in place; anything else printed starts on a fresh line.
  void EndGaugeLine() {
    if (!gauge_line_open_) return;
    out_ << "\n";
    gauge_line_open_ = false;
  }

  std::ostream& out_;
  bool interactive_terminal_;
  bool gauge_line_open_ = false;
  int gauge_ = 0;
  bool closed_ = false;
  bool failure_reported_ = false;
};

}  // namespace

std::unique_ptr<FrontEnd> MakeConsoleFrontEnd(std::ostream& out, bool interactive_terminal) {
  return std::make_unique<ConsoleFrontEnd>(out, interactive_terminal);
}

}  // namespace app
