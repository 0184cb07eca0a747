#include "app/job.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "testing/fake_host.h"

namespace kalvenor {
namespace {

class JobTest : public ::testing::Test {
 protected:
  std::string Log() { return sandbox_.Read("C/VENTAS/LOG.TXT"); }
  std::string Slip() {
    return Lines({SlipLineOf('1', 0, "FARMACIA"), SlipLineOf('1', 30, "Item one  1,00"), SlipLineOf('1', 99, ""),
                  SlipLineOf('2', 30, "Item two  1,00"), SlipLineOf('2', 99, "")});
  }
  Sandbox sandbox_;
  RecordingPrinter* printer_ = nullptr;
  Host host_ = MakeTestHost(sandbox_, &printer_);
};

TEST_F(JobTest, ComandaJobCopiesPrintsAndLogs) {
  sandbox_.Write("C/VENTAS/C0001234.TXT", Slip());
  sandbox_.Write("C/VENTAS/LOG.TXT", "old\r\nold\r\nold\r\n");
  EXPECT_EQ(RunJob("kalvenor \\ventas\\c0001234.txt \\ventas\\log.txt N S", host_), 0);
  EXPECT_EQ(Log(), "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nFinalizo correctamente.\r\n");
  EXPECT_EQ(sandbox_.Read("H/COMANDAS/90001234.TXT"), Slip());  // the bytes the host wrote
  EXPECT_EQ(sandbox_.Read("C/VENTAS/C0001234.TXT"), Slip() + "\r\n");
  ASSERT_EQ(printer_->documents.size(), 1u);
}

TEST_F(JobTest, ReprintFromTheCopyWhenTheSlipIsGone) {
  sandbox_.Write("H/COMANDAS/90001234.TXT", Slip());
  sandbox_.MakeFolder("C/VENTAS");
  RunJob("kalvenor \\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N S", host_);
  EXPECT_EQ(Log(), "Impresion de Comanda: H:\\COMANDAS\\90001234.TXT\r\nFinalizo correctamente.\r\n");
  EXPECT_EQ(printer_->documents.size(), 1u);
}

TEST_F(JobTest, FailuresEndInTheErrorLine) {
  struct Case {
    std::string slip;
    std::map<std::string, std::string> env;
    std::string log;
  } cases[] = {
      {"", {}, "Impresion de Comanda: \r\nERROR: File not found\r\n"},
      {Slip(), {{"KALVENOR_DRIVE_H", ""}}, "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nERROR: Path not found\r\n"},
      {"X30 item\r\n", {}, "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nERROR: Type mismatch\r\n"},
      {[] {
         std::vector<std::string> lines = {SlipLineOf('1', 99, "")};
         for (int i = 0; i < 101; ++i) lines.push_back(SlipLineOf('2', 30, "item"));
         return Lines(lines);
       }(),
       {}, "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nERROR: Subscript out of range\r\n"},
      {Lines(std::vector<std::string>(14, SlipLineOf('1', 0, "header"))), {},
       "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nERROR: Subscript out of range\r\n"},
      {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), {},
       "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nERROR: Type mismatch\r\n"},
  };
  for (const Case& c : cases) {
    Sandbox sandbox;
    RecordingPrinter* printer;
    Host host = MakeTestHost(sandbox, &printer, c.env);
    if (!c.slip.empty()) sandbox.Write("C/VENTAS/C0001234.TXT", c.slip);
    sandbox.MakeFolder("C/VENTAS");
    EXPECT_EQ(RunJob("kalvenor \\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N S", host), 0);
    EXPECT_EQ(sandbox.Read("C/VENTAS/LOG.TXT"), c.log);
    EXPECT_TRUE(printer->documents.empty());
  }
}

TEST_F(JobTest, MissingSlipsFolderFailsTheCopy) {
  rmdir(sandbox_.Path("H/COMANDAS").c_str());
  sandbox_.Write("C/VENTAS/C0001234.TXT", Slip());
  RunJob("kalvenor \\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N S", host_);
  EXPECT_EQ(Log(), "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nERROR: Path not found\r\n");
}

TEST_F(JobTest, LabelJobByNameInAnyCase) {
  sandbox_.Write("C/VENTAS/EtiqueTA.TXT", Lines({"TITLE", "lot|price"}));
  RunJob("kalvenor \\ventas\\etiqueta.txt \\ventas\\log.txt s n", host_);
  EXPECT_EQ(Log(), "Impresion de Comanda: C:\\VENTAS\\ETIQUETA.TXT\r\nFinalizo correctamente.\r\n");
  EXPECT_EQ(printer_->documents.size(), 1u);
  EXPECT_FALSE(sandbox_.Exists("H/COMANDAS/9TIQUETA.TXT"));
}

TEST_F(JobTest, UnwritableLogIsExitStatusOne) {
  sandbox_.Write("C/VENTAS/C0001234.TXT", Slip());
  EXPECT_EQ(RunJob("kalvenor \\VENTAS\\C0001234.TXT \\NOFOLDER\\LOG.TXT N S", host_), 1);
  EXPECT_EQ(RunJob("kalvenor too few", host_), 1);  // the log path is a bare drive
}

}  // namespace
}  // namespace kalvenor
