// "Проверка обнаружения" over the scripted port: a detection listed with its
// figures, a pass without an alarm missed, a test ended by its limit.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "app/journal_window.h"
#include "app/journal_words.h"
#include "app/walk_test_dialog.h"
#include "chart/chart_view.h"
#include "tests/gui/window_rig.h"
#include "tests/support/engine_probe.h"
#include "tests/support/link_frames.h"
#include "tests/support/session_parts.h"

namespace tarvin::testing {
namespace {

// The journal's last event of that name.
nlohmann::ordered_json LastEvent(const std::filesystem::path& path, const std::string& name) {
  std::ifstream in(path);
  nlohmann::ordered_json found;
  for (std::string line; std::getline(in, line);)
    if (auto event = nlohmann::ordered_json::parse(line); event["event"] == name) found = event;
  return found;
}

bool Shows(const QLabel* label, const char* pattern) {
  return QRegularExpression(QString::fromUtf8(pattern)).match(label->text()).hasMatch();
}

void Samples(WindowRig& rig, std::initializer_list<uint32_t> useful) {
  std::string frames;
  for (const uint32_t u : useful) frames += ChartFrame(u, 1, 30.5f);
  rig.port->Deliver(frames);
  rig.window->TimerRvTimer();
}

TEST(WalkTestDialog, DetectionsAreListedWithTheirFiguresAndAPassWithoutAlarmIsMissed) {
  WindowRig rig(OpenResult::Opened);
  TFmain& w = *rig.window;
  const auto journal = rig.folder.Path() / "journal.jsonl";

  // In the chart's menu before the journal, and F3.
  QAction* action = w.Controls().ActionWalkTest;
  EXPECT_EQ(action->shortcut(), QKeySequence(Qt::Key_F3));
  const QList<QAction*> menu = w.Controls().Chart4->ContextMenu()->actions();
  ASSERT_EQ(menu.indexOf(action) + 1, menu.indexOf(w.Controls().ActionJournal));
  action->trigger();
  WalkTestDialog* dialog = w.WalkTestView();
  ASSERT_TRUE(dialog && dialog->isVisible());
  EXPECT_EQ(S(dialog->windowTitle()), "Проверка обнаружения");
  auto* begin = dialog->findChild<QPushButton*>("WalkTestBegin");
  auto* end = dialog->findChild<QPushButton*>("WalkTestEnd");
  auto* state = dialog->findChild<QLabel*>("WalkTestState");
  auto* refusal = dialog->findChild<QLabel*>("WalkTestRefusal");
  auto* table = dialog->findChild<QTableWidget*>("WalkTestDetections");
  ASSERT_TRUE(begin && end && state && refusal && table);
  EXPECT_EQ(dialog->findChild<QSpinBox*>("WalkTestLimit")->value(), 30);

  // Without the link nothing can be detected: refused, nothing journalled.
  begin->click();
  EXPECT_EQ(S(refusal->text()), "Проверка не начата: нет связи с датчиком.");
  EXPECT_TRUE(LastEvent(journal, "walk_test_begin").is_null());

  rig.Answer(0x0141, Reply(0x41, {0x00}));
  rig.Answer(0x014D, VersionReply(0x0002, 0));
  rig.Answer(0x0141, Reply(0x41, {0x00}));
  dialog->findChild<QLineEdit*>("WalkTestNote")->setText("ворота, в полный рост");
  dialog->findChild<QSpinBox*>("WalkTestLimit")->setValue(5);
  begin->click();
  EXPECT_TRUE(refusal->isHidden());
  EXPECT_EQ(LastEvent(journal, "walk_test_begin")["note"], "ворота, в полный рост");
  EXPECT_EQ(LastEvent(journal, "walk_test_begin")["limit_min"], 5);
  EXPECT_EQ(S(state->text()), "Идёт проверка № 1 (ворота, в полный рост): 00:00 из 5 мин, обнаружений: 0");
  begin->click();
  EXPECT_EQ(S(refusal->text()), "Проверка не начата: проверка уже идёт.");

  // The intrusion: the useful signal peaks at 47 over a threshold of 30.5,
  // the status says alarm; the row is there at once, its figures at the end.
  LinkEngineProbe::SetChartTag(SessionParts::Engine(w.Session()), 1);
  Samples(rig, {10, 20, 47, 40});
  rig.Answer(0x0141, Reply(0x41, {0x02}));
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(S(table->item(0, WalkTestDialog::kPeak)->text()), "…");
  EXPECT_NE(S(state->text()).find("обнаружений: 1"), std::string::npos) << S(state->text());
  Samples(rig, {35, 12});
  rig.Answer(0x0141, Reply(0x41, {0x00}));
  const nlohmann::ordered_json alarm_end = LastEvent(journal, "alarm_end");
  ASSERT_EQ(alarm_end["peak"], 47.0);
  EXPECT_EQ(S(table->item(0, WalkTestDialog::kPeak)->text()), "47,0");
  EXPECT_EQ(S(table->item(0, WalkTestDialog::kThreshold)->text()), "30,5");
  EXPECT_EQ(S(table->item(0, WalkTestDialog::kMargin)->text()), "16,5");
  EXPECT_EQ(S(table->item(0, WalkTestDialog::kOver)->text()), FigureText(alarm_end["over_threshold_s"]));

  // Two passes were made: asked with the detections offered, one is missed.
  rig.boxes.number_answer = 2;
  end->click();
  ASSERT_EQ(rig.boxes.number_asked.size(), 1u);
  EXPECT_EQ(
      rig.boxes.number_asked[0],
      "Проверка обнаружения|Сколько проходов сделано за проверку № 1?\nОбнаружено: 1. Проход без тревоги "
      "будет записан как пропущенный.|1|0..999");
  const nlohmann::ordered_json ended = LastEvent(journal, "walk_test_end");
  EXPECT_EQ(ended["passes"], 2);
  EXPECT_EQ(ended["detections"], 1);
  EXPECT_EQ(ended["missed"], 1);
  EXPECT_EQ(ended["reason"], "operator");
  EXPECT_TRUE(Shows(state,
                    "^Проверка № 1 \\(00:0\\d\\) закончена оператором: проходов 2, обнаружено 1, "
                    "пропущено 1\\.$"))
      << S(state->text());
  EXPECT_EQ(DescribeEvent(ended).details,
            "проверка № 1, закончена оператором; проходов 2, обнаружено 1, пропущено 1");
  // One pass that raised two alarms is one detected pass (an older journal: no `detected`).
  EXPECT_EQ(DescribeEvent(nlohmann::ordered_json::parse(R"({"event":"walk_test_end","walk_test":3,
                "passes":1,"detections":2,"missed":0,"reason":"operator"})"))
                .details,
            "проверка № 3, закончена оператором; проходов 1, обнаружено 1 (тревог: 2), пропущено 0");
  end->click();
  EXPECT_EQ(S(refusal->text()), "Проверка не закончена: проверка не идёт.");
  EXPECT_EQ(rig.boxes.number_asked.size(), 1u);

  // The next test starts an empty list; left running past its limit it ends
  // by itself, and nobody said how many passes were made.
  begin->click();
  EXPECT_EQ(table->rowCount(), 0);
  w.Session().Tick(std::chrono::steady_clock::now() + std::chrono::minutes(6));
  EXPECT_EQ(LastEvent(journal, "walk_test_end")["reason"], "limit");
  EXPECT_TRUE(Shows(state,
                    "^Проверка № 2 \\(06:0\\d\\) закончена по истечении предела времени: "
                    "обнаружено 0, проходы не указаны\\.$"))
      << S(state->text());

  dialog->hide();  // the journal's window opens it too
  w.ShowJournal();
  w.JournalView()->findChild<QPushButton*>("JournalWalkTest")->click();
  EXPECT_TRUE(dialog->isVisible());
}

}  // namespace
}  // namespace tarvin::testing
