// The receipt's QR code in a whole run: the reply file of the electronic
// invoice service gives the link, the built-in renderer or the rendering
// service draws it, and only the first printed copy carries it.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "qr/image_conversion.h"
#include "qr/qr_code.h"
#include "qr/qr_render.h"
#include "testing/job_sandbox.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

const std::string kLink =
    "https://www.afip.gob.ar/fe/qr/?p=eyJ2ZXIiOjEsImZlY2hhIjoiMjAyNC0wNS0xNCIsImN1aXQiOjMwNzE0"
    "NTg5NjMyLCJwdG9WdGEiOjEyLCJ0aXBvQ21wIjo2LCJucm9DbXAiOjEyMzQ1NiwiaW1wb3J0ZSI6MTIzNDUuNjcs"
    "Im1vbmVkYSI6IlBFUyIsImN0eiI6MSwidGlwb0RvY1JlYyI6OTksIm5yb0RvY1JlYyI6MCwidGlwb0NvZEF1dCI6"
    "IkUiLCJjb2RBdXQiOjc0MTIzNDU2Nzg5MDEyfQ=======";

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
      if (grey.pixels[y * grey.width + x] < 128) bitmap->pixels[(y + offset) * 100 + x + offset] = 0xFF000000;
    }
  }
  std::string png;
  EXPECT_TRUE(ImageToPngBytes(bitmap, &png));
  return png;
}

TEST(ReceiptQrJobTest, TheCodeIsOnTheFirstPrintedCopyOnly) {
  struct Case {
    const char* name;
    const char* service;  // how the stand-in service answers; null: the built-in renderer
    std::string reply;
    std::string outcome;
    const char* picture;  // the painted picture's size in the trace; null: none
    bool scans;
  };
  const std::string reply = "20240514;74123456789012;" + kLink + "\r\n", done = "Finalizo correctamente.";
  const Case cases[] = {
      {"built-in renderer", nullptr, reply, done, "\"w\":1500,\"h\":1500", true},
      {"service image", "200", reply, done, "\"w\":1500,\"h\":1500", true},
      {"service failing", "404", reply, done, "\"w\":0,\"h\":0", false},
      {"reply too short", nullptr, "1;2;x", "ERROR: Invalid procedure call or argument", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JobSandbox job;
    // Three sections, of which the last two are printed.
    job.sandbox.Write("C/VENTAS/C0123456.TXT",
                      Lines({"100 FARMACIA", "130 Item 1", "199", "130 Item 1", "199", "230 Item 2", "299"}));
    job.sandbox.Write("C/CAE/RTA/R-123456.csv", c.reply);
    ProgramRun run = job.Job({"\\VENTAS\\C0123456.TXT", "\\VENTAS\\LOG.TXT", "N", "S"});
    std::optional<QrTestServer> server;
    if (c.service != nullptr) {
      ASSERT_TRUE(server.emplace().running());
      server->SetCase(c.service, ServicePng(kLink));
      run.env[kQrServiceVariable] = server->base();
    }
    EXPECT_EQ(RunProgram(run), 0);
    EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"),
              "Impresion de Comanda: C:\\VENTAS\\C0123456.TXT\r\n" + c.outcome + "\r\n");
    if (c.service != nullptr) {
      EXPECT_EQ(server->TakeRequests().size(), 1u);
    }
    if (c.picture == nullptr) continue;
    std::string trace = job.sandbox.Read("trace.jsonl");
    size_t at = trace.find("\"op\":\"picture\"");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(trace.find("\"op\":\"picture\"", at + 1), std::string::npos) << "one picture only";
    std::string picture = trace.substr(at, trace.find('\n', at) - at);
    EXPECT_NE(picture.find("\"doc\":1,\"x\":900,"), std::string::npos) << picture;
    EXPECT_NE(picture.find(c.picture), std::string::npos) << picture;
    std::vector<std::string> pdfs = job.Pdfs();
    ASSERT_EQ(pdfs.size(), 2u);
    for (int dpi : {203, 300}) {
      EXPECT_EQ(ReadBarcode(RasterisePdf(job.sandbox.Path(pdfs[0]), dpi), Symbology::kQr),
                c.scans ? std::optional<std::string>(kLink) : std::nullopt)
          << dpi;
    }
    EXPECT_EQ(ReadBarcode(RasterisePdf(job.sandbox.Path(pdfs[1]), 203), Symbology::kQr), std::nullopt);
  }
}

}  // namespace
}  // namespace kalvenor
