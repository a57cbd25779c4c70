// The frame of a catalogue run: the entry test, the start and end actions and the progress arithmetic.
#include <gtest/gtest.h>

#include "db/layer_test_server.h"
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

TEST_F(CatalogueFrameTest, AnOpenConnectionRunsTheStartAndEndActions) {
  server_.CreateDatabase("ZENTIX001");
  db_test::OpenOn(client_, server_, "ZENTIX001");
  catalogue_.acOKExecute();
  EXPECT_EQ(ui_.Log(), "messages\ncursor: wait\ngauge: 1\ncursor: default\ngauge: 100\ngauge: 0\n");
}

TEST_F(CatalogueFrameTest, EveryRunStartsAgainAtCounterOne) {
  server_.CreateDatabase("ZENTIX001");
  db_test::OpenOn(client_, server_, "ZENTIX001");
  catalogue_.acOKExecute();
  for (int i = 0; i < 7; ++i) catalogue_.ProgressStep();
  EXPECT_EQ(catalogue_.counter(), 8);
  EXPECT_EQ(ui_.gauge(), 11);
  catalogue_.acOKExecute();
  EXPECT_EQ(catalogue_.counter(), 1);
  EXPECT_EQ(ui_.gauge(), 0);
}

}  // namespace
