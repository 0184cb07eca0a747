#include "host/dos_path.h"

#include <gtest/gtest.h>

#include "base/run_time_error.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

TEST(DosToHostPath, MapsDrivesMatchesNamesIgnoringCaseAndRefusesUnmappedOnes) {
  Sandbox sandbox;
  sandbox.Write("h/Comandas/c0001234.txt", "x");
  EnvLookup env = EnvOf({{"KALVENOR_DRIVE_H", sandbox.Path("h")}});
  const std::pair<Text, std::string> cases[] = {
      {u"H:\\COMANDAS\\C0001234.TXT", sandbox.Path("h/Comandas/c0001234.txt")},
      {u"h:/comandas/NEW.TXT", sandbox.Path("h/Comandas/NEW.TXT")},
      {u"C:\\VENTAS\\LOG.TXT", "/VENTAS/LOG.TXT"},  // unset C: is the root
      {u"H:\\A\\..\\B", sandbox.Path("h/B")},
  };
  for (const auto& [dos, host] : cases) EXPECT_EQ(DosToHostPath(dos, env), host) << ToUtf8(dos);
  EXPECT_EQ(Raised([] { DosToHostPath(u"H:\\COMANDAS\\X.TXT", EnvOf({})); }).second, "Path not found");
}

}  // namespace
}  // namespace kalvenor
