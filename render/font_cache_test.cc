#include "render/font_cache.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/fake_host.h"

namespace kalvenor {
namespace {

TEST(CacheFolder, XdgThenHomeAbsoluteOnly) {
  struct Case {
    std::map<std::string, std::string> env;
    std::string folder;
  } cases[] = {
      {{{"XDG_CACHE_HOME", "/x"}, {"HOME", "/h"}}, "/x/kalvenor"},
      {{{"XDG_CACHE_HOME", "x"}, {"HOME", "/h"}}, "/h/.cache/kalvenor"},
      {{{"HOME", "/h"}}, "/h/.cache/kalvenor"},
      {{{"HOME", "h"}}, ""},
      {{}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CacheFolder(EnvOf(c.env)), c.folder);
}

// An entry holds only for the program's version, the font configuration's
// settings, and the font file and watched folders as they were.
TEST(FontCache, KeepsOnlyWhatStillHolds) {
  Sandbox sandbox;
  sandbox.Write("fonts/face.ttf", "outlines");
  sandbox.MakeFolder("cache");
  // Older than anything written below, whatever the clock's grain.
  std::filesystem::last_write_time(sandbox.Path("fonts"), std::filesystem::file_time_type{});
  ResolvedFont font;
  font.pattern = "Face:file=" + sandbox.Path("fonts/face.ttf");
  font.file = StampOf(sandbox.Path("fonts/face.ttf"));
  const GlyphBits glyph{-1, -7, 9, 2, false, {0xFF, 0x80, 0x41, 0x00}};
  const GlyphBits grey{0, -3, 3, 1, true, {0x10, 0xFF, 0x80}, {-13, -770, 700, 5}};
  {
    FontCache cache(sandbox.Path("cache"), "v1", "s1");
    cache.Add("Face 8", font, {sandbox.Path("fonts")});
    cache.Glyphs("Face 8 at 2")[65] = glyph;
    cache.Glyphs("Face 8 at 2")[66] = grey;
    cache.Grew("Face 8 at 2");
    cache.Save();
  }
  auto found = [&](const char* version, const char* settings) {
    FontCache cache(sandbox.Path("cache"), version, settings);
    const ResolvedFont* resolved = cache.Find("Face 8");
    const auto& glyphs = cache.Glyphs("Face 8 at 2");
    EXPECT_EQ(resolved != nullptr, glyphs.count(65) == 1) << "the glyphs of another version or font";
    if (resolved != nullptr) {
      EXPECT_EQ(resolved->pattern, font.pattern);
      EXPECT_EQ(glyphs.at(65).bits, glyph.bits);
      EXPECT_EQ(glyphs.at(65).top, -7);
      EXPECT_TRUE(glyphs.at(66).grey && !glyphs.at(65).grey);
      EXPECT_EQ(glyphs.at(66).bits, grey.bits);
      EXPECT_EQ(glyphs.at(66).outline, grey.outline);
    }
    return resolved != nullptr;
  };
  EXPECT_TRUE(found("v1", "s1"));
  EXPECT_FALSE(found("v2", "s1"));
  EXPECT_FALSE(FontCache(sandbox.Path("cache"), "v1", "s2").Find("Face 8"));
  sandbox.Write("fonts/other.ttf", "");  // a font installed: the folder changed
  EXPECT_FALSE(FontCache(sandbox.Path("cache"), "v1", "s1").Find("Face 8"));
  {
    FontCache cache(sandbox.Path("cache"), "v1", "s1");
    cache.Add("Face 8", font, {sandbox.Path("fonts")});
    cache.Save();
  }
  EXPECT_TRUE(FontCache(sandbox.Path("cache"), "v1", "s1").Find("Face 8"));
  sandbox.Write("fonts/face.ttf", "other outlines");  // the font replaced
  EXPECT_FALSE(FontCache(sandbox.Path("cache"), "v1", "s1").Find("Face 8"));
}

// Two jobs that each render glyphs of one font keep both's.
TEST(FontCache, JobsAtOnceKeepEachOthersGlyphs) {
  Sandbox sandbox;
  FontCache first(sandbox.Path("cache"), "v1", "s1"), second(sandbox.Path("cache"), "v1", "s1");
  for (auto [cache, index] : {std::pair{&first, 66u}, std::pair{&second, 67u}}) {
    cache->Glyphs("Face 8 at 2")[index] = GlyphBits{0, -1, 1, 1, false, {0x80}};
    cache->Grew("Face 8 at 2");
  }
  first.Save();
  second.Save();
  FontCache later(sandbox.Path("cache"), "v1", "s1");
  EXPECT_EQ(later.Glyphs("Face 8 at 2").size(), 2u);
}

}  // namespace
}  // namespace kalvenor
