// The receipt's QR code in a whole run: the invoice service's reply file gives the link, the built-in
// renderer or the rendering service draws it, and only the first printed copy carries it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <optional>

#include "qr/image_conversion.h"
#include "qr/qr_code.h"
#include "qr/qr_render.h"
#include "testing/barcode_testing.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

// Three sections, of which the last two are printed, and the invoice service's reply to them.
ProgramRun ReceiptJob(JobSandbox& job, const std::string& reply) {
  job.sandbox.Write("C/VENTAS/C0123456.TXT",
                    Lines({"100 FARMACIA", "130 Item 1", "199", "130 Item 1", "199", "230 Item 2", "299"}));
  job.sandbox.Write("C/CAE/RTA/R-123456.csv", reply);
  return job.Job({"\\VENTAS\\C0123456.TXT", "\\VENTAS\\LOG.TXT", "N", "S"});
}

// The symbol as a rendering service draws it: 100 x 100 pixels, one a module, centred on white.
std::string ServicePng(const std::string& data) {
  Picture symbol = RenderQrPicture({FromUtf8(data)});
  const int modules = std::lround(symbol->height_twips / symbol->module_twips), border = (100 - modules) / 2;
  GreyRaster grey = RasterFromPicture(symbol, modules * 1440.0 / symbol->height_twips, border);
  auto image = std::make_shared<PictureData>();
  image->pixel_width = image->pixel_height = 100;
  image->width_twips = image->height_twips = 1500;
  for (int at = 0; at < 100 * 100; ++at) {
    const int x = at % 100, y = at / 100;
    bool dark = x < grey.width && y < grey.height && grey.pixels[y * grey.width + x] < 128;
    image->pixels.push_back(dark ? 0xFF000000 : 0xFFFFFFFF);
  }
  std::string png;
  EXPECT_TRUE(ImageToPngBytes(image, &png));
  return png;
}

TEST(ReceiptQrJobTest, TheCodeIsOnTheFirstPrintedCopyOnly) {
  const std::string reply = JobSandbox::Example("R-001234.csv"), done = "Finalizo correctamente.";
  const std::string link = reply.substr(reply.rfind(';') + 1, reply.size() - reply.rfind(';') - 3);
  struct Case {
    const char* name;
    const char* service;  // how the stand-in service answers; null: the built-in renderer
    std::string reply;
    std::string outcome;
    const char* picture;  // the painted picture's size in the trace; null: none
    bool scans;
  } cases[] = {
      {"built-in renderer", nullptr, reply, done, "\"w\":1500,\"h\":1500", true},
      {"service image", "200", reply, done, "\"w\":1500,\"h\":1500", true},
      {"service failing", "404", reply, done, "\"w\":0,\"h\":0", false},
      {"reply too short", nullptr, "1;2;x", "ERROR: Invalid procedure call or argument", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JobSandbox job;
    ProgramRun run = ReceiptJob(job, c.reply);
    std::optional<QrTestServer> server;
    if (c.service != nullptr) {
      ASSERT_TRUE(server.emplace().running());
      server->SetCase(c.service, ServicePng(link));
      run.env[kQrServiceVariable] = server->base();
    }
    EXPECT_EQ(RunProgram(run), 0);
    EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"),
              "Impresion de Comanda: C:\\VENTAS\\C0123456.TXT\r\n" + c.outcome + "\r\n");
    EXPECT_EQ(server ? server->TakeRequests().size() : 1u, 1u);
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
    EXPECT_EQ(ReadBarcode(RasterisePdf(job.sandbox.Path(pdfs[0]), 203), Symbology::kQr),
              c.scans ? std::optional<std::string>(link) : std::nullopt);
    EXPECT_EQ(ReadBarcode(RasterisePdf(job.sandbox.Path(pdfs[1]), 203), Symbology::kQr), std::nullopt);
  }
}

// A program whose network module is missing prints the receipt without the
// service's code and says why on standard error.
TEST(ReceiptQrJobTest, AMissingNetworkModuleIsReported) {
  JobSandbox job;
  job.sandbox.MakeFolder("bin");
  const std::string program = job.sandbox.Path("bin/kalvenor");
  WriteBytes(program, ReadBytes(KALVENOR_BINARY));
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  const std::string binary = KALVENOR_BINARY;
  WriteBytes(job.sandbox.Path("bin/kalvenor-text.so"),
             ReadBytes(binary.substr(0, binary.rfind('/')) + "/kalvenor-text.so"));
  ProgramRun run = ReceiptJob(job, JobSandbox::Example("R-001234.csv"));
  run.program = program;
  run.env[kQrServiceVariable] = "http://127.0.0.1:9/";
  EXPECT_EQ(RunProgram(run), 0);
  EXPECT_NE(job.sandbox.Read("C/VENTAS/LOG.TXT").find("Finalizo correctamente."), std::string::npos);
  EXPECT_NE(job.sandbox.Read("stderr.txt").find("kalvenor-net.so not found"), std::string::npos)
      << job.sandbox.Read("stderr.txt");
}

}  // namespace
}  // namespace kalvenor
