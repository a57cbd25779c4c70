// What the tests of one catalogue stage share: an old-release client database with the stages before it run
// over it, the stage objects on the client connection, and the stage run on a connection opened afresh (as the
// run driver opens one for every database) with its trace as an outline, progress steps in place.
#ifndef CLUBIQA_TESTS_UPGRADE_STAGE_TEST_BASE_H_
#define CLUBIQA_TESTS_UPGRADE_STAGE_TEST_BASE_H_

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "previous_release.h"
#include "schema/primitives.h"
#include "schema/statement_runner.h"
#include "stages.h"
#include "trace_outline.h"
#include "ui/recording_ui.h"
#include "upgrade/text_blocks.h"

namespace upgrade_test {

using StageFunction = void (*)(const upgrade::Stage&);

class StageTestBase : public ::testing::Test {
 protected:
  // The previous release with `members` members, the `earlier` stages run over it in order.
  void PrepareOldRelease(int members, std::initializer_list<StageFunction> earlier) {
    database_.CreateOldRelease(members);
    database_.Open(client_);
    for (StageFunction stage : earlier) stage(Stage());
  }

  // Forgets what the preparation sent and showed.
  void ForgetPreparation() {
    database_.ClearTrace();
    ui_.ClearEvents();
  }

  upgrade::Stage Stage() {
    return upgrade::Stage{runner_, primitives_, [this] { progress_positions_.push_back(database_.Trace().size()); },
                          upgrade::EmbeddedTextBlocks()};
  }

  // `run` on a client connection opened afresh; its trace as an outline with the progress steps in place.
  std::string RunOnFreshConnection(const std::function<void()>& run) {
    client_.Close();
    database_.Open(client_);
    database_.ClearTrace();
    progress_positions_.clear();
    run();
    return Outline(database_.Trace(), progress_positions_);
  }

  std::string Rows(std::string_view select) { return database_.Rows(select); }

  ClientDatabase database_;
  db::Connection client_;
  ui::RecordingUi ui_;
  std::string current_catalog_{kClientDatabase};
  schema::StatementRunner runner_{client_, ui_};
  schema::Primitives primitives_{runner_, current_catalog_};
  std::vector<size_t> progress_positions_;
};

}  // namespace upgrade_test

#endif  // CLUBIQA_TESTS_UPGRADE_STAGE_TEST_BASE_H_
