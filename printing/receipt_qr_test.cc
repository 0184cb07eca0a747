#include "printing/receipt_qr.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "qr/qr_code.h"
#include "qr/qr_request.h"
#include "testing/barcode_testing.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

const std::string kLink = "https://www.afip.gob.ar/fe/qr/?p=eyJ2ZXIiOjEsImNvZEF1dCI6NzQxMjM0NTY3ODkwMTJ9";

class ReceiptQrTest : public testing::Test {
 protected:
  void SetUp() override {
    mkdir((folder_ + "/CAE").c_str(), 0755);
    mkdir((folder_ + "/CAE/RTA").c_str(), 0755);
    job_.state.slip_file_name = u"C0123456.TXT";
  }
  void Reply(const std::string& last_field) {
    WriteBytes(folder_ + "/CAE/RTA/R-123456.csv", "20240514;74123456789012;" + last_field + "\r\n");
  }
  // The pictures that the QR block paints with the current point at
  // (77, 2000), which it leaves there.
  std::vector<PrintOp> Paint(std::map<std::string, std::string> env = {}) {
    env["KALVENOR_DRIVE_C"] = folder_;
    Host host = MakeQrTestHost(env);
    RecordingPrinter printer;
    printer.CurrentX = 77;
    printer.CurrentY = 2000;
    PrintReceiptQrCode(job_, host, printer);
    EXPECT_EQ(printer.CurrentX, 77);
    EXPECT_EQ(printer.CurrentY, 2000);
    return printer.open_ops;
  }

  Sandbox temp_;
  std::string folder_ = temp_.root();
  Job job_;
};

TEST_F(ReceiptQrTest, OnlyTheFirstPrintedCopyGetsTheCode) {
  Reply(kLink);
  struct Case {
    int16_t section;
    bool insurer_difference;
    bool printed;
  } cases[] = {
      {0, false, true}, {0, true, true}, {1, false, true}, {1, true, false}, {2, false, false},
  };
  for (const Case& c : cases) {
    job_.sections.section = c.section;
    job_.prescan.insurer_difference = c.insurer_difference;
    EXPECT_EQ(Paint().size(), c.printed ? 1u : 0u) << c.section << " " << c.insurer_difference;
  }
}

TEST_F(ReceiptQrTest, PaintedBelowTheCurrentPoint) {
  Reply(kLink);
  std::vector<PrintOp> ops = Paint();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].x, 900);
  EXPECT_EQ(ops[0].y, 2100);
  ASSERT_NE(ops[0].picture, nullptr);
  EXPECT_EQ(ops[0].picture->width_twips, 1500);
  EXPECT_EQ(ops[0].picture->height_twips, 1500);
}

TEST_F(ReceiptQrTest, NoReplyOrNoLinkPrintsNothing) {
  EXPECT_TRUE(Paint().empty());  // no reply file
  Reply("https://example.com/qr");
  EXPECT_TRUE(Paint().empty());
}

TEST_F(ReceiptQrTest, ServiceThatNeverAnswersLeavesTheCodeOut) {
  QrTestServer server;
  ASSERT_TRUE(server.running());
  server.SetCase("hang");
  Reply(kLink);
  auto start = std::chrono::steady_clock::now();
  std::vector<PrintOp> ops = Paint({{kQrServiceVariable, server.base()}});
  // The tests' request time limits are short: a hang costs one second.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].picture, nullptr);
  std::vector<std::string> requests = server.TakeRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
            "GET /v1/create-qr-code/?data=" + UrlEncode(kLink) + "&size=100x100 HTTP/1.1");
}

}  // namespace
}  // namespace kalvenor
