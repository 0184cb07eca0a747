#include "qr/qr_render.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "qr/image_conversion.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

// A fiscal link as the authorisation component writes it: 310 characters,
// which needs a version 11 symbol (61 modules) at level L in 8-bit mode.
Text FiscalLink() {
  Text link = u"https://www.afip.gob.ar/fe/qr/?p=";
  while (link.size() < 310) link += u"eyJ2ZXIiOjEsImZlY2hhIjoiMjAyNC0wNS0xNCIsImN1aXQiOjMwNzE0NTg5NjMy";
  return link.substr(0, 310);
}

float SmallestRectHeight(const PictureData& picture) {
  float h = picture.height_twips;
  for (const auto& r : picture.rects) h = std::min(h, r.h);
  return h;
}

TEST(RenderQrPicture, LongFiscalLinkScansAtPrinterResolutions) {
  Text link = FiscalLink();
  Picture picture = RenderQrPicture({link, 100, 100});
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width_twips, 1500);
  EXPECT_EQ(picture->height_twips, 1500);
  EXPECT_TRUE(picture->pixels.empty());
  EXPECT_FLOAT_EQ(SmallestRectHeight(*picture), 1500.0f / 61);
  for (int dpi : {203, 300}) {
    EXPECT_EQ(ReadBarcode(RasterFromPicture(picture, dpi, 16), Symbology::kQr), ToUtf8(link)) << dpi;
  }
}

TEST(RenderQrPicture, FollowsTheRequestParameters) {
  Picture plain = RenderQrPicture({u"A1"});
  ASSERT_NE(plain, nullptr);
  EXPECT_FLOAT_EQ(SmallestRectHeight(*plain), 1500.0f / 21);  // version 1

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
