// The frame of a catalogue run: the entry test, the start and end actions and the progress arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/layer_test_server.h"
#include "fixture/old_release.h"
#include "schema/statement_runner.h"
#include "ui/recording_ui.h"
#include "upgrade/catalogue.h"

namespace {

using db_test::TestServer;

TEST(GaugeValueTest, RoundsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(upgrade::GaugeValue(1, 72), 1);    // 1.39
  EXPECT_EQ(upgrade::GaugeValue(2, 72), 3);    // 2.78
  EXPECT_EQ(upgrade::GaugeValue(9, 72), 12);   // 12.5
  EXPECT_EQ(upgrade::GaugeValue(27, 72), 38);  // 37.5
  EXPECT_EQ(upgrade::GaugeValue(42, 72), 58);
  EXPECT_EQ(upgrade::GaugeValue(56, 72), 78);
  EXPECT_EQ(upgrade::GaugeValue(68, 72), 94);
  EXPECT_EQ(upgrade::GaugeValue(72, 72), 100);
  EXPECT_EQ(upgrade::GaugeValue(73, 72), 101);  // the gauge stores it as 100
}

class CatalogueFrameTest : public ::testing::Test {
 protected:
  TestServer server_;
  db::Connection client_;
  ui::RecordingUi ui_;
  std::string current_catalog_;
  schema::StatementRunner runner_{client_, ui_};
  schema::Primitives primitives_{runner_, current_catalog_};
  upgrade::Catalogue catalogue_{client_, runner_, primitives_, ui_};

  // A client database with the previous release's base schema and no members: on an empty one the first
  // stage's unguarded rebuild of the tax-key table would end the run.
  void OpenPreviousRelease() {
    fixture::Options options;
    options.members = 0;
    fixture::CreateOldReleaseDatabase(server_.base_dir() / db_test::kServerDir, "ZENTIX001", options);
    db_test::OpenOn(client_, server_, "ZENTIX001");
  }
};

TEST_F(CatalogueFrameTest, AClosedClientConnectionDoesNothingAtAll) {
  ui_.SetGauge(37);
  ui_.SetCursor(ui::Cursor::kSqlWait);
  ui_.ClearEvents();
  catalogue_.acOKExecute();
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_EQ(ui_.gauge(), 37);
  EXPECT_EQ(ui_.cursor(), ui::Cursor::kSqlWait);
}

// The stages send their statements in between; only the frame's own events are looked at here.
TEST_F(CatalogueFrameTest, AnOpenConnectionRunsTheStartAndEndActions) {
  OpenPreviousRelease();
  catalogue_.acOKExecute();
  const std::vector<std::string>& events = ui_.events();
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[0] + "\n" + events[1] + "\n" + events[2] + "\n", "messages\ncursor: wait\ngauge: 1\n");
  EXPECT_EQ(events.back(), "gauge: 0");
  EXPECT_EQ(ui_.cursor(), ui::Cursor::kDefault);
  const std::string gauge = ui_.Log("gauge: ");
  EXPECT_EQ(gauge.substr(0, gauge.find("gauge: 58\n")),
            "gauge: 1\ngauge: 3\ngauge: 4\ngauge: 6\ngauge: 7\ngauge: 8\ngauge: 10\ngauge: 11\ngauge: 12\n"
            "gauge: 14\ngauge: 15\ngauge: 17\ngauge: 18\ngauge: 19\ngauge: 21\ngauge: 22\ngauge: 24\n"
            "gauge: 25\ngauge: 26\ngauge: 28\ngauge: 29\ngauge: 31\ngauge: 32\ngauge: 33\ngauge: 35\n"
            "gauge: 36\ngauge: 38\ngauge: 39\ngauge: 40\ngauge: 42\ngauge: 43\ngauge: 44\ngauge: 46\n"
            "gauge: 47\ngauge: 49\ngauge: 50\ngauge: 51\ngauge: 53\ngauge: 54\ngauge: 56\ngauge: 57\n");
  EXPECT_EQ(gauge.substr(gauge.size() - std::string_view("gauge: 100\ngauge: 0\n").size()), "gauge: 100\ngauge: 0\n");
}

TEST_F(CatalogueFrameTest, EveryRunStartsAgainAtCounterOne) {
  OpenPreviousRelease();
  catalogue_.acOKExecute();
  const int32_t counter_after_a_run = catalogue_.counter();
  for (int i = 0; i < 7; ++i) catalogue_.ProgressStep();
  EXPECT_EQ(catalogue_.counter(), counter_after_a_run + 7);
  ui_.ClearEvents();
  catalogue_.acOKExecute();
  EXPECT_EQ(catalogue_.counter(), counter_after_a_run);
  const std::string gauge = ui_.Log("gauge: ");
  EXPECT_EQ(gauge.substr(0, gauge.find("gauge: 4\n")), "gauge: 1\ngauge: 3\n");
  EXPECT_EQ(ui_.gauge(), 0);
}

}  // namespace
