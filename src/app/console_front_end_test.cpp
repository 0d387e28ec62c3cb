#include "app/console_front_end.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/error.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex {
namespace {

using testing::PathExists;
using testing::ScopedEnv;
using testing::TempDir;

// Captures what the console front end writes.
class Capture {
 public:
  Capture() : file_(std::tmpfile()) {}
  ~Capture() { std::fclose(file_); }
  std::FILE* file() { return file_; }
  // What has reached the file so far, without flushing the stream.
  std::string OnDisk() { return testing::BytesOnDisk(file_); }
  std::string Text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) s.append(buf, n);
    return s;
  }

 private:
  std::FILE* file_;
};

class ConsoleFrontEndTest : public ::testing::Test {
 protected:
  ConsoleFrontEndTest()
      : windir_("Windir", dir_.path().c_str()), fe_(out_.file(), err_.file(), false) {
    app_.Driver().SetIniFolder(dir_.path() + "/");
    testing::WriteFile(dir_ / "Kalvex.ini", "");
  }
  TempDir dir_;
  ScopedEnv windir_;
  Capture out_, err_;
  Application app_;
  ConsoleFrontEnd fe_;
};

TEST_F(ConsoleFrontEndTest, UnknownPortalExitsTwoNamingPortals) {
  EXPECT_EQ(fe_.Run(app_, {"foo"}), 2);
  EXPECT_EQ(out_.Text(), "Export des données pour FOO\n");
  EXPECT_EQ(err_.Text(),
            "Portail inconnu : foo (portails reconnus : PARUVENDU, AUTOSCOUT24, SITAUTOPRO, "
            "TOPANNONCES, LEBONCOIN, INFOPRESS)\n");
  EXPECT_FALSE(PathExists(dir_.path() + "/TEMP"));
}

TEST_F(ConsoleFrontEndTest, SyntaxErrorExitsTwo) {
  EXPECT_EQ(fe_.Run(app_, {"a", "b"}), 2);
  EXPECT_EQ(out_.Text(), "Syntax : Kalvex \"option\"\n");
}

TEST_F(ConsoleFrontEndTest, NormalEndExitsZero) {
  app_.Driver().SetExporter("PARUVENDU", [](RunContext& ctx) {
    ctx.WriteLog("fin");
    ctx.window.SetAutoClose(true);
  });
  EXPECT_EQ(fe_.Run(app_, {"ParuVendu"}), 0);
  EXPECT_NE(out_.Text().find("Export des données pour PARUVENDU\n-> \n-> "), std::string::npos);
}

TEST_F(ConsoleFrontEndTest, MemoLinesOfABurstAllReachTheOutputInOrderWhenEventsRun) {
  std::string flushed_at_events;
  app_.Driver().SetExporter("PARUVENDU", [&](RunContext& ctx) {
    for (int i = 0; i < 3000; ++i) ctx.WriteLog("ligne " + std::to_string(i));
    ctx.window.ProcessPendingEvents();
    flushed_at_events = out_.OnDisk();
    ctx.WriteLog("fin");
    ctx.window.SetAutoClose(true);
  });
  EXPECT_EQ(fe_.Run(app_, {"PARUVENDU"}), 0);
  const std::string all = out_.OnDisk();
  EXPECT_NE(flushed_at_events.find(" - ligne 2999\n"), std::string::npos);
  size_t at = 0;
  for (int i = 0; i < 3000; ++i) {
    at = all.find(" - ligne " + std::to_string(i) + "\n", at);
    ASSERT_NE(at, std::string::npos) << i;
  }
  EXPECT_NE(all.find(" - fin\n", at), std::string::npos);
}

TEST_F(ConsoleFrontEndTest, ErrorExitsOneWithMessageOnStandardError) {
  // The message keeps its line break; a terminal sequence from data in it is escaped.
  app_.Driver().SetExporter("PARUVENDU",
                            [](RunContext&) { throw Error("Load Error\r\nboom\x1b]0;x\x07\r"); });
  EXPECT_EQ(fe_.Run(app_, {"PARUVENDU"}), 1);
  EXPECT_EQ(err_.Text(), "Load Error\r\nboom\\x1B]0;x\\x07\\r\n");
}

}  // namespace
}  // namespace kalvex
