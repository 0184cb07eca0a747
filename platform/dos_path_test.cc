#include "platform/dos_path.h"

#include <gtest/gtest.h>

#include "platform/run_time_error.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

class DosPathTest : public ::testing::Test {
 protected:
  EnvLookup Env(std::map<std::string, std::string> vars) {
    return [vars](const std::string& name) -> std::optional<std::string> {
      auto it = vars.find(name);
      if (it == vars.end()) return std::nullopt;
      return it->second;
    };
  }
  Sandbox sandbox_;
};

TEST_F(DosPathTest, MapsDrivesAndMatchesExistingNamesIgnoringCase) {
  sandbox_.Write("h/Comandas/c0001234.txt", "x");
  EnvLookup env = Env({{"KALVENOR_DRIVE_H", sandbox_.Path("h")}});
  EXPECT_EQ(DosToHostPath(u"H:\\COMANDAS\\C0001234.TXT", env), sandbox_.Path("h/Comandas/c0001234.txt"));
  EXPECT_EQ(DosToHostPath(u"h:/comandas/NEW.TXT", env), sandbox_.Path("h/Comandas/NEW.TXT"));
  EXPECT_EQ(DosToHostPath(u"C:\\VENTAS\\LOG.TXT", env), "/VENTAS/LOG.TXT");
}

TEST_F(DosPathTest, DotDotNeverLeavesTheDriveRoot) {
  EnvLookup env = Env({{"KALVENOR_DRIVE_H", sandbox_.Path("h")}});
  EXPECT_EQ(DosToHostPath(u"H:\\..\\..\\etc\\passwd", env), sandbox_.Path("h") + "/etc/passwd");
  EXPECT_EQ(DosToHostPath(u"H:\\A\\..\\B", env), sandbox_.Path("h") + "/B");
}

TEST_F(DosPathTest, UnmappedDriveIsPathNotFound) {
  EnvLookup env = Env({});
  try {
    DosToHostPath(u"H:\\COMANDAS\\X.TXT", env);
    FAIL();
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.description(), "Path not found");
  }
  EXPECT_EQ(DriveRoot(u'c', env), "/");
}

}  // namespace
}  // namespace kalvenor
