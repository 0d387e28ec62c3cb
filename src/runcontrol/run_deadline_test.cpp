#include "runcontrol/run_deadline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "test_support.h"

namespace kalvex {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using testing::TempDir;
using testing::WriteFile;

// A deadline over a time source the test moves by hand.
struct FakeTime {
  RunDeadline::TimePoint now{std::chrono::hours(1000)};
  RunDeadline Deadline() {
    return RunDeadline([this] { return now; });
  }
};

TEST(RunDeadlineTest, RunsOutAfterItsMinutesAndNamesTheStepItWasIn) {
  FakeTime time;
  RunDeadline deadline = time.Deadline();
  EXPECT_NO_THROW(deadline.Check());  // off until started
  EXPECT_EQ(deadline.Remaining(), std::chrono::milliseconds::max());

  deadline.Start(2);
  EXPECT_EQ(deadline.Step(), "préparation de l'export");
  EXPECT_EQ(deadline.Remaining(), 120000ms);
  deadline.EnterStep("lecture du document des véhicules");
  time.now += 119999ms + 500us;
  EXPECT_EQ(deadline.Remaining(), 1ms);  // never 0 before the end
  EXPECT_FALSE(deadline.Expired());
  deadline.EnterStep("envoi au portail");
  time.now += 500us;
  EXPECT_TRUE(deadline.Expired());
  EXPECT_EQ(deadline.Remaining(), 0ms);
  try {
    deadline.Check();
    ADD_FAILURE() << "no error";
  } catch (const RunDeadlineExceeded& e) {
    EXPECT_STREQ(e.what(),
                 "Durée maximale d'exécution dépassée (2 min, [Options] DureeMaxMinutes dans "
                 "Kalvex.ini) pendant : envoi au portail.");
  }
  EXPECT_THROW(deadline.EnterStep("construction de l'archive"), RunDeadlineExceeded);

  // A new start counts again; 0 minutes is no deadline; Stop ends the count.
  deadline.Start(1, 10ms);
  EXPECT_FALSE(deadline.Expired());
  time.now += 10ms;
  EXPECT_THROW(deadline.Check(), RunDeadlineExceeded);
  deadline.Start(0);
  time.now += std::chrono::hours(10000);
  EXPECT_NO_THROW(deadline.Check());
  deadline.Start(INT32_MAX);  // minutes that the clock could not count stay far away
  EXPECT_GT(deadline.Remaining(), std::chrono::hours(24 * 365));
  deadline.Start(1);
  deadline.Stop();
  time.now += 2min;
  EXPECT_FALSE(deadline.Expired());
}

TEST(RunDeadlineTest, DureeMaxMinutesIsAWholeNumberOfMinutes) {
  TempDir dir;
  auto ini_with = [&dir](const std::string& options) {
    WriteFile(dir / "Kalvex.ini", "[Options]\r\n" + options + "\r\n");
    return std::make_unique<IniFile>(dir / "Kalvex.ini");
  };
  const std::pair<const char*, int32_t> accepted[] = {{"", 60},
                                                      {"DureeMaxMinutes=0", 0},
                                                      {"dureemaxminutes = 15 ", 15},
                                                      {"DureeMaxMinutes=600", 600}};
  for (const auto& [line, minutes] : accepted)
    EXPECT_EQ(ReadMaximumDuration(*ini_with(line)), minutes) << line;
  for (const char* value : {"", "une heure", "-5", "1.5", "30 min", "+4", "99999999999"}) {
    try {
      ReadMaximumDuration(*ini_with(std::string("DureeMaxMinutes=") + value));
      ADD_FAILURE() << value;
    } catch (const Error& e) {
      EXPECT_EQ(e.what(),
                "Valeur refusée dans Kalvex.ini, [Options] DureeMaxMinutes=" + std::string(value) +
                    " : un nombre entier de minutes est attendu (0 : pas de durée "
                    "maximale). Rien n'a été écrit ni envoyé.");
    }
  }
}

}  // namespace
}  // namespace kalvex
