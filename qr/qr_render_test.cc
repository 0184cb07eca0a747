#include "qr/qr_render.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "qr/image_conversion.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

float SmallestRectHeight(const PictureData& picture) {
  float h = picture.height_twips;
  for (const auto& r : picture.rects) h = std::min(h, r.h);
  return h;
}

TEST(RenderQrPicture, FollowsTheRequestParameters) {
  Picture plain = RenderQrPicture({u"A1"});
  ASSERT_NE(plain, nullptr);
  EXPECT_FLOAT_EQ(SmallestRectHeight(*plain), 1500.0f / 21);  // version 1
  EXPECT_TRUE(plain->pixels.empty());
  // 310 bytes need version 11 (61 modules) at the default level L.
  EXPECT_FLOAT_EQ(SmallestRectHeight(*RenderQrPicture({Text(310, u'x')})), 1500.0f / 61);
  Picture styled = RenderQrPicture({u"A1", 200, 100, u"UTF-8", u"h", 255, 0xFF0000, 4});
  ASSERT_NE(styled, nullptr);
  EXPECT_EQ(styled->width_twips, 3000);
  EXPECT_EQ(styled->fill_argb, 0xFFFF0000u);        // red modules
  EXPECT_EQ(styled->background_argb, 0xFF0000FFu);  // on blue
  // 21 modules and 4 on each side in the 1500-twip height, centred across.
  float module = 1500.0f / 29;
  EXPECT_FLOAT_EQ(SmallestRectHeight(*styled), module);
  float left = 3000, top = 1500;
  for (const auto& r : styled->rects) left = std::min(left, r.x), top = std::min(top, r.y);
  EXPECT_FLOAT_EQ(top, 4 * module);
  EXPECT_FLOAT_EQ(left, (3000 - 21 * module) / 2);
}

TEST(RenderQrPicture, EncodesTheCharacterSetAsked) {
  auto read = [](const QrParameters& p) {
    return ReadBarcode(RasterFromPicture(RenderQrPicture(p), 300, 16), Symbology::kQr);
  };
  EXPECT_EQ(read({u"a\u00F1o"}), "a\xC3\xB1o");
  EXPECT_EQ(read({u"a\u00F1o\u20AC", 100, 100, u"ISO-8859-1"}), "a\xF1o?");
}

TEST(RenderQrPicture, NoPictureForImpossibleRequests) {
  const struct {
    const char* what;
    QrParameters p;
  } cases[] = {
      {"empty text", {u""}},
      {"no width", {u"x", 0, 100}},
      {"larger than any image", {u"x", 100000, 100}},
      {"too long for a symbol", {Text(3000, u'x')}},
  };
  for (const auto& c : cases) EXPECT_EQ(RenderQrPicture(c.p), nullptr) << c.what;
}

}  // namespace
}  // namespace kalvenor
