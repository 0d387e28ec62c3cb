// The run's deadline in the FTP transfer: an operation it cuts ends the run
// (RunDeadlineExceeded) instead of counting as an FTP failure, and the server is not
// given up. The portal upload cut by it is tested end to end (run_report_e2e_test.cpp).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "ftp/ftp_test_harness.h"
#include "ftp/ftp_transfer.h"
#include "runcontrol/runcontrol_texts.h"

namespace kalvex {
namespace {

using namespace std::chrono_literals;
using testing::FtpHarness;
using testing::FtpServerOptions;
using testing::FtpTestServer;
using ::testing::HasSubstr;
using testing::WriteFile;

// Limits far above the deadline, so that it is the deadline that ends the wait.
FtpTimeouts LongTimeouts() {
  FtpTimeouts timeouts;
  timeouts.connect = 30s;
  timeouts.server_response = 30s;
  timeouts.low_speed_time = 30s;
  return timeouts;
}

// A deadline of "1 min" whose minute lasts `minute`, in the given step.
void StartDeadline(FtpHarness& h, std::chrono::milliseconds minute, const char* step) {
  h.state.deadline.Start(1, minute);
  h.state.deadline.EnterStep(step);
}

TEST(FtpDeadlineTest, APhotoUploadCutByTheDeadlineIsNotSilentAndTheServerIsNotGivenUp) {
  FtpServerOptions options;
  options.folders.push_back("www/pixtrove");
  options.fault_stall_stor_after_bytes = 1;
  FtpTestServer server(options);
  FtpHarness h;
  h.PointImageServerAt(server.HostField(), options, "www/pixtrove");
  h.ftp.SetImageServerCheck(true);
  h.ftp.SetTimeouts(LongTimeouts());
  WriteFile(h.Windir() + "/p1.jpg", std::string(200000, 'p'));
  StartDeadline(h, 1000ms, runcontrol_text::kStepPhotos);

  EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg"));
  try {
    h.ftp.SendImage(h.Windir() + "\\p1.jpg");
    ADD_FAILURE() << "the deadline was swallowed";
  } catch (const RunDeadlineExceeded& e) {
    EXPECT_THAT(e.what(), HasSubstr("pendant : synchronisation des photos."));
  }
  EXPECT_FALSE(h.ftp.IdFTP1().Unreachable());
  // The next run of the process, with time of its own, tries the server again.
  StartDeadline(h, 1000ms, runcontrol_text::kStepPhotos);
  EXPECT_THROW(h.ftp.SendImage(h.Windir() + "\\p1.jpg"), RunDeadlineExceeded);
  EXPECT_EQ(server.CountCommand("STOR p1.jpg"), 2);
}

}  // namespace
}  // namespace kalvex
