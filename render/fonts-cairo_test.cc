#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "render/cairo_printer.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

// Each load runs in a child process, so that the configuration the other
// tests measure text with stays as it is.
TEST(LoadFontConfiguration, SaysWhatFontconfigCouldNotLoad) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    const char* why;
    std::string aliases;  // the file's text; none when empty
    const char* said;     // a pattern of what LoadFontConfiguration returns
  } cases[] = {
      {"no aliases", "", "\\[\\]"},
      {"good aliases", "<fontconfig><alias><family>A</family><prefer><family>B</family></prefer></alias></fontconfig>",
       "\\[\\]"},
      {"cut-off aliases", "<fontconfig><alias><family>A</fam", "\\[fontconfig: .*aliases.conf could not be loaded"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Sandbox sandbox;
    std::string path;
    if (!c.aliases.empty()) {
      path = sandbox.Path("aliases.conf");
      sandbox.Write("aliases.conf", c.aliases);
    }
    EXPECT_EXIT(
        {
          std::fprintf(stderr, "[%s]\n", LoadFontConfiguration(path).c_str());
          std::exit(0);
        },
        testing::ExitedWithCode(0), c.said);
  }
}

}  // namespace
}  // namespace kalvenor
