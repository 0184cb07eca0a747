#include "printing/receipt_qr.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>

#include "platform/cairo_surfaces.h"
#include "platform/printers.h"
#include "qr/qr_code.h"
#include "qr/qr_render.h"
#include "testing/barcode_testing.h"

extern char** environ;

namespace kalvenor {
namespace {

const std::string kLink =
    "https://www.afip.gob.ar/fe/qr/?p=eyJ2ZXIiOjEsImZlY2hhIjoiMjAyNC0wNS0xNCIsImN1aXQiOjMwNzE0"
    "NTg5NjMyLCJwdG9WdGEiOjEyLCJ0aXBvQ21wIjo2LCJucm9DbXAiOjEyMzQ1NiwiaW1wb3J0ZSI6MTIzNDUuNjcs"
    "Im1vbmVkYSI6IlBFUyIsImN0eiI6MSwidGlwb0RvY1JlYyI6OTksIm5yb0RvY1JlYyI6MCwidGlwb0NvZEF1dCI6"
    "IkUiLCJjb2RBdXQiOjc0MTIzNDU2Nzg5MDEyfQ=======";

// A surface that only notes the pictures painted on it.
class PictureRecorder : public PrintSurface {
 public:
  struct Painted {
    Picture picture;
    float x, y;
  };
  std::vector<Painted> painted;

  void Print(const Text&, bool) override {}
  float TextWidth(const Text&) override { return 0; }
  float TextHeight(const Text&) override { return 0; }
  void Line(float, float, float, float, uint32_t) override {}
  void PaintPicture(const Picture& picture, float x, float y) override {
    painted.push_back({picture, x, y});
  }
  void EndDoc() override {}
};

class ReceiptQrTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(kLink.size(), 310u);
    mkdir((folder_ + "/CAE").c_str(), 0755);
    mkdir((folder_ + "/CAE/RTA").c_str(), 0755);
    job_.state.slip_file_name = u"C0123456.TXT";
  }
  void Reply(const std::string& last_field) {
    WriteBytes(folder_ + "/CAE/RTA/R-123456.csv", "20240514;74123456789012;" + last_field + "\r\n");
  }
  Host MakeHost(const std::map<std::string, std::string>& more = {}) {
    std::map<std::string, std::string> env = more;
    env["KALVENOR_DRIVE_C"] = folder_;
    return MakeQrTestHost(env);
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
  Host host = MakeHost();
  for (const Case& c : cases) {
    job_.sections.section = c.section;
    job_.prescan.insurer_difference = c.insurer_difference;
    PictureRecorder surface;
    PrintReceiptQrCode(job_, host, surface);
    EXPECT_EQ(surface.painted.size(), c.printed ? 1u : 0u)
        << c.section << " " << c.insurer_difference;
  }
}

TEST_F(ReceiptQrTest, PaintedBelowCurrentYWithoutMovingIt) {
  Reply(kLink);
  Host host = MakeHost();
  PictureRecorder surface;
  surface.CurrentX = 77;
  surface.CurrentY = 2000;
  PrintReceiptQrCode(job_, host, surface);
  ASSERT_EQ(surface.painted.size(), 1u);
  EXPECT_EQ(surface.painted[0].x, 900);
  EXPECT_EQ(surface.painted[0].y, 2100);
  ASSERT_NE(surface.painted[0].picture, nullptr);
  EXPECT_EQ(surface.painted[0].picture->width_twips, 1500);
  EXPECT_EQ(surface.painted[0].picture->height_twips, 1500);
  EXPECT_EQ(surface.CurrentX, 77);
  EXPECT_EQ(surface.CurrentY, 2000);
}

TEST_F(ReceiptQrTest, NoReplyOrNoLinkPrintsNothing) {
  Host host = MakeHost();
  PictureRecorder surface;
  PrintReceiptQrCode(job_, host, surface);  // no reply file
  Reply("https://example.com/qr");
  PrintReceiptQrCode(job_, host, surface);
  EXPECT_TRUE(surface.painted.empty());
}

TEST_F(ReceiptQrTest, ServiceThatNeverAnswersLeavesTheCodeOut) {
  QrTestServer server;
  ASSERT_TRUE(server.running());
  server.SetCase("hang");
  Reply(kLink);
  Host host = MakeHost({{kQrServiceVariable, server.base()}});
  PictureRecorder surface;
  auto start = std::chrono::steady_clock::now();
  PrintReceiptQrCode(job_, host, surface);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  ASSERT_EQ(surface.painted.size(), 1u);
  EXPECT_EQ(surface.painted[0].picture, nullptr);
  std::vector<std::string> requests = server.TakeRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
            "GET /v1/create-qr-code/?data=" + UrlEncode(kLink) + "&size=100x100 HTTP/1.1");
}

// The symbol as a 100 x 100 pixel image, as a rendering service draws it:
// whole pixels per module (one, for 61 modules), centred on white.
std::string ServicePng(const std::string& data) {
  Picture symbol = RenderQrPicture({FromUtf8(data)});
  float module = symbol->height_twips;
  for (const auto& r : symbol->rects) module = std::min(module, r.h);
  const int modules = static_cast<int>(std::lround(symbol->height_twips / module));
  GreyRaster grey = RasterFromPicture(symbol, modules * 1440.0 / symbol->height_twips, 0);
  auto bitmap = std::make_shared<PictureData>();
  bitmap->pixel_width = bitmap->pixel_height = 100;
  bitmap->width_twips = bitmap->height_twips = 1500;
  bitmap->pixels.assign(100 * 100, 0xFFFFFFFF);
  const int offset = (100 - modules) / 2;
  for (int y = 0; y < modules; ++y) {
    for (int x = 0; x < modules; ++x) {
      if (grey.pixels[y * grey.width + x] < 128) {
        bitmap->pixels[(y + offset) * 100 + x + offset] = 0xFF000000;
      }
    }
  }
  std::string png;
  EXPECT_TRUE(ImageToPngBytes(bitmap, &png));
  return png;
}

// Prints a receipt line and the QR block on a folder printer and reads the
// PDF back at the printer's resolution and at 300 dpi.
void ExpectPrintedCodeScans(Job& job, Host& host, const std::string& printer_folder) {
  mkdir((printer_folder + "/COMANDERA").c_str(), 0755);
  std::unique_ptr<Printer> printer =
      MakeCairoPrinter(MakeFolderPrinters(printer_folder, "COMANDERA"), nullptr);
  printer->Print(u"TOTAL $ 12345,67");
  printer->CurrentY += 600;  // the paper feed
  PrintReceiptQrCode(job, host, *printer);
  printer->EndDoc();
  std::string pdf = printer_folder + "/COMANDERA/000001.pdf";
  for (int dpi : {203, 300}) EXPECT_EQ(ReadBarcode(RasterisePdf(pdf, dpi), Symbology::kQr), kLink) << dpi;
}

TEST_F(ReceiptQrTest, PrintedCodeScansWithTheBuiltInRenderer) {
  Reply(kLink);
  Host host = MakeHost();
  Sandbox printers;
  ExpectPrintedCodeScans(job_, host, printers.root());
}

TEST_F(ReceiptQrTest, PrintedCodeScansThroughTheService) {
  QrTestServer server;
  ASSERT_TRUE(server.running());
  server.SetCase("200", ServicePng(kLink));
  Reply(kLink);
  Host host = MakeHost({{kQrServiceVariable, server.base()}});
  Sandbox printers;
  ExpectPrintedCodeScans(job_, host, printers.root());
  EXPECT_EQ(server.TakeRequests().size(), 1u);
}

// The program run as the sales system starts it, on a slip of three
// sections of which the last two are printed, with the reply file in place.
class ReceiptQrJobTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* sub : {"/C", "/C/CAJA", "/C/VENTAS", "/C/CAE", "/C/CAE/RTA", "/H",
                            "/H/COMANDAS", "/P", "/P/COMANDERA"}) {
      mkdir((temp_.root() + sub).c_str(), 0755);
    }
    WriteBytes(temp_.root() + "/C/VENTAS/C0123456.TXT",
               "100 FARMACIA CENTRAL\r\n"
               "130 Item uno                    1,00\r\n"
               "199\r\n"
               "130 Item uno                    1,00\r\n"
               "199\r\n"
               "230 Item uno                    1,00\r\n"
               "299\r\n");
    WriteBytes(temp_.root() + "/C/CAE/RTA/R-123456.csv",
               "20240514;74123456789012;" + kLink + "\r\n");
  }

  // Runs the job with `more_env` on top of the drives, printers and trace.
  std::string RunJob(const std::map<std::string, std::string>& more_env) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::string(*e).rfind("KALVENOR_", 0) != 0) env.push_back(*e);
    }
    env.push_back("KALVENOR_DRIVE_C=" + temp_.root() + "/C");
    env.push_back("KALVENOR_DRIVE_H=" + temp_.root() + "/H");
    env.push_back("KALVENOR_PRINTER_DIR=" + temp_.root() + "/P");
    env.push_back("KALVENOR_TRACE=" + temp_.root() + "/trace.jsonl");
    for (const auto& [name, value] : more_env) env.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {KALVENOR_BINARY, "\\VENTAS\\C0123456.TXT",
                                     "\\VENTAS\\LOG.TXT", "N", "S"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, (temp_.root() + "/C/CAJA").c_str());
    pid_t pid;
    int status = -1;
    if (posix_spawn(&pid, KALVENOR_BINARY, &actions, nullptr, argv.data(), envp.data()) == 0) {
      waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(status, 0);
    return ReadBytes(temp_.root() + "/C/VENTAS/LOG.TXT");
  }

  // The trace lines of painted pictures.
  std::vector<std::string> PictureOps() {
    std::vector<std::string> ops;
    std::ifstream trace(temp_.root() + "/trace.jsonl");
    for (std::string line; std::getline(trace, line);) {
      if (line.find("\"op\":\"picture\"") != std::string::npos) ops.push_back(line);
    }
    return ops;
  }

  void ExpectCodeOnTheFirstCopyOnly() {
    std::vector<std::string> pictures = PictureOps();
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_NE(pictures[0].find("\"doc\":1,\"x\":900,"), std::string::npos) << pictures[0];
    EXPECT_NE(pictures[0].find("\"w\":1500,\"h\":1500"), std::string::npos) << pictures[0];
    std::string first = temp_.root() + "/P/COMANDERA/000001.pdf";
    std::string second = temp_.root() + "/P/COMANDERA/000002.pdf";
    ASSERT_FALSE(ReadBytes(second).empty());  // two printed copies, no third
    ASSERT_TRUE(ReadBytes(temp_.root() + "/P/COMANDERA/000003.pdf").empty());
    for (int dpi : {203, 300}) EXPECT_EQ(ReadBarcode(RasterisePdf(first, dpi), Symbology::kQr), kLink) << dpi;
    EXPECT_EQ(ReadBarcode(RasterisePdf(second, 203), Symbology::kQr), std::nullopt);
  }

  Sandbox temp_;
};

const char kDone[] = "Impresion de Comanda: C:\\VENTAS\\C0123456.TXT\r\nFinalizo correctamente.\r\n";

TEST_F(ReceiptQrJobTest, BuiltInRendererPrintsTheCodeOnTheFirstCopy) {
  EXPECT_EQ(RunJob({}), kDone);
  ExpectCodeOnTheFirstCopyOnly();
}

TEST_F(ReceiptQrJobTest, ServiceImagePrintsTheCodeOnTheFirstCopy) {
  QrTestServer server;
  ASSERT_TRUE(server.running());
  server.SetCase("200", ServicePng(kLink));
  EXPECT_EQ(RunJob({{kQrServiceVariable, server.base()}}), kDone);
  ExpectCodeOnTheFirstCopyOnly();
  EXPECT_EQ(server.TakeRequests().size(), 1u);
}

TEST_F(ReceiptQrJobTest, FailedServiceStillEndsTheJobWell) {
  QrTestServer server;
  ASSERT_TRUE(server.running());
  server.SetCase("404");
  EXPECT_EQ(RunJob({{kQrServiceVariable, server.base()}}), kDone);
  std::vector<std::string> pictures = PictureOps();
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_NE(pictures[0].find("\"w\":0,\"h\":0"), std::string::npos) << pictures[0];
}

TEST_F(ReceiptQrJobTest, ReplyTooShortEndsTheJobWithAnError) {
  WriteBytes(temp_.root() + "/C/CAE/RTA/R-123456.csv", "1;2;x");
  EXPECT_EQ(RunJob({}),
            "Impresion de Comanda: C:\\VENTAS\\C0123456.TXT\r\n"
            "ERROR: Invalid procedure call or argument\r\n");
}

}  // namespace
}  // namespace kalvenor
