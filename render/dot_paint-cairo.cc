// The recorded operations of a document painted on a receipt printer's
// one-bit dot page: glyphs stamped at their dots, lines and the text the
// page cannot stamp through cairo, pictures as whole blocks of dots.
#include <algorithm>
#include <cmath>
#include <functional>

#include "base/run_time_error.h"
#include "base/units.h"
#include "printers/printer_options.h"
#include "render/color.h"
#include "render/dot_render-cairo.h"
#include "render/drawing-cairo.h"
#include "render/pango_text.h"

namespace kalvenor {
namespace {

// Cairo's largest image; at 203 dots per inch about four metres of paper.
constexpr double kMaxDotRows = 32767;

// The dots of one module of a symbol's picture at `s` dots per twip: its
// designed width rounded, at least 2 across a bar code and, on a page shrunk
// to fit, across a QR code too.
long ModuleDots(const PictureData& picture, double s, bool fit) {
  return std::max(picture.square_modules && !fit ? 1L : 2L, std::lround(picture.module_twips * s));
}

// What each op paints, null for all but pictures: a shrunk page takes a
// symbol's compact form, made here once a page.
std::vector<Picture> PaintedPictures(const std::vector<DrawOp>& ops, bool fit) {
  std::vector<Picture> painted(ops.size());
  for (size_t i = 0; i < ops.size(); ++i) {
    if (const auto* p = std::get_if<PictureOp>(&ops[i])) {
      Picture compact = fit && p->picture->compact ? p->picture->compact() : nullptr;
      painted[i] = compact ? compact : p->picture;
    }
  }
  return painted;
}

// Paints a picture at (x, y) twips on a dot page of `s` dots per twip,
// without resampling: a bitmap pixel becomes a whole block of dots, and the
// modules of a symbol become whole, equal numbers of dots.
class DotPictureTarget : public PictureTarget {
 public:
  DotPictureTarget(DotRenderer& dots, double x, double y, double s, bool fit)
      : dots_(dots), x_(x), y_(y), s_(s), fit_(fit), ox_(std::lround(x * s)), oy_(std::lround(y * s)) {}

  void Background(const PictureData& picture) override {
    dots_.Fill(ox_, oy_, ox_ + std::lround(picture.width_twips * s_), oy_ + std::lround(picture.height_twips * s_),
               InkArgb(picture.background_argb));
  }

  // Nearest neighbour to whole dots: every pixel the same block of dots. A
  // run of pixels alike is one fill; paper that is not opaque leaves what
  // lies under it.
  void Bitmap(const PictureData& picture) override {
    const int pw = picture.pixel_width, ph = picture.pixel_height;
    const long kx = std::max(1L, std::lround(picture.width_twips / pw * s_));
    const long ky = std::max(1L, std::lround(picture.height_twips / ph * s_));
    for (int py = 0; py < ph; ++py) {
      const uint32_t* row = picture.pixels.data() + static_cast<size_t>(py) * pw;
      for (int px = 0; px < pw;) {
        const bool ink = InkArgb(row[px]);
        const bool opaque = (row[px] >> 24) == 0xFF;
        int end = px + 1;
        while (end < pw && InkArgb(row[end]) == ink && ((row[end] >> 24) == 0xFF) == opaque) ++end;
        if (ink || opaque) dots_.Fill(ox_ + px * kx, oy_ + py * ky, ox_ + end * kx, oy_ + (py + 1) * ky, ink);
        px = end;
      }
    }
  }

  // A module is a whole number of dots (at least two across a bar code).
  void Rects(const PictureData& picture) override {
    std::function<long(double)> fx = [this](double v) { return std::lround((x_ + v) * s_); };
    std::function<long(double)> fy = [this](double v) { return std::lround((y_ + v) * s_); };
    if (picture.module_twips > 0) {
      const double m = picture.module_twips;
      const long dots = ModuleDots(picture, s_, fit_);
      const long ox = ox_, oy = oy_;
      fx = [=](double v) { return ox + std::lround(v / m * static_cast<double>(dots)); };
      if (picture.square_modules) fy = [=](double v) { return oy + std::lround(v / m * static_cast<double>(dots)); };
    }
    const bool ink = InkArgb(picture.fill_argb);
    for (const PictureData::Rect& r : picture.rects) dots_.Fill(fx(r.x), fy(r.y), fx(r.x + r.w), fy(r.y + r.h), ink);
  }

 private:
  DotRenderer& dots_;
  const double x_, y_, s_;
  const bool fit_;
  const long ox_, oy_;
};

// The rows of the page at `s` dots per twip: down to the lowest drawing and
// the bottom margin.
double PageRows(const std::vector<DrawOp>& ops, const std::vector<Picture>& painted, double bottom_twips, double s,
                bool fit) {
  double bottom = bottom_twips * s;
  for (size_t i = 0; i < ops.size(); ++i) {
    // A QR symbol whose modules round up to whole dots is taller than its picture.
    const auto* p = std::get_if<PictureOp>(&ops[i]);
    if (p == nullptr) continue;
    const PictureData& picture = *painted[i];
    if (picture.square_modules && picture.module_twips > 0) {
      const double m = picture.module_twips, dots = static_cast<double>(ModuleDots(picture, s, fit));
      bottom = std::max(bottom, std::lround(p->y * s) + std::round(picture.height_twips / m * dots));
    }
  }
  return std::ceil(bottom + kBottomMarginTwips * s);
}

// Letters larger than a receipt's are left to cairo: their glyph images
// would cost more than the page.
bool Stampable(const TextOp& text, double s) {
  return std::abs(text.font.Size) * s * kTwipsPerPoint <= DotRenderer::kMaxStampedEm;
}

// The glyphs of a text on the dot page, from its measuring layout so that
// they stand where the PDF has them. False when cairo must draw the text:
// an underline, a glyph no font has, or letters larger than a receipt's.
bool PlaceTextDots(const TextOp& text, const TextLayout& layout, double s,
                   std::vector<DotRenderer::PlacedGlyph>* glyphs) {
  PangoText& pango = TextEngine::Get().Pango();
  if (!Stampable(text, s) || !pango.Stampable(layout)) return false;
  pango.PlaceGlyphs(layout, text.x * s, text.y * s, s * kTwipsPerPoint, glyphs);
  return true;
}

// A text the dot page leaves to cairo, drawn over its own box.
void DrawTextWithCairo(DotRenderer& dots, const TextOp& text, double s) {
  PangoText& pango = TextEngine::Get().Pango();
  std::shared_ptr<TextLayout> layout = pango.Layout(text.text, text.font, /*dots=*/true);
  const double tx = text.x * s, ty = text.y * s, scale = s * kTwipsPerPoint;
  const TextBox ink = pango.Ink(*layout);
  const double margin = 4;  // dots the grid fitting may move an outline
  dots.DrawWithCairo(std::lround(std::floor(tx + scale * ink.x / kPangoUnits - margin)),
                     std::lround(std::floor(ty + scale * ink.y / kPangoUnits - margin)),
                     std::lround(std::ceil(tx + scale * (ink.x + ink.width) / kPangoUnits + margin)),
                     std::lround(std::ceil(ty + scale * (ink.y + ink.height) / kPangoUnits + margin)), true,
                     [&](cairo_t* cr) {
                       cairo_translate(cr, tx, ty);
                       cairo_scale(cr, scale, scale);
                       pango.Show(cr, *layout);
                     });
}

// Lines keep cairo's coverage, over a box just around them.
void DrawLineDots(DotRenderer& dots, const LineOp& line, double s) {
  const double reach = std::max<int16_t>(line.width, 1) * kTwipsPerPixel * s / 2 + 2;
  dots.DrawWithCairo(std::lround(std::floor(std::min(line.x1, line.x2) * s - reach)),
                     std::lround(std::floor(std::min(line.y1, line.y2) * s - reach)),
                     std::lround(std::ceil(std::max(line.x1, line.x2) * s + reach)),
                     std::lround(std::ceil(std::max(line.y1, line.y2) * s + reach)), Ink(line.color),
                     [&](cairo_t* cr) {
                       cairo_scale(cr, s, s);
                       StrokeLine(cr, line);
                     });
}

void DrawTextDots(DotRenderer& dots, const TextOp& text, const std::shared_ptr<TextLayout>& layout, double s) {
  if (text.measured.fast != nullptr && Stampable(text, s)) {
    return TextEngine::Get().StampFast(dots, *text.measured.fast, text.x * s, text.y * s, s * kTwipsPerPoint);
  }
  std::vector<DotRenderer::PlacedGlyph> glyphs;
  if (layout != nullptr && PlaceTextDots(text, *layout, s, &glyphs)) {
    dots.DrawGlyphs(glyphs, s * kTwipsPerPoint);
  } else {
    DrawTextWithCairo(dots, text, s);
  }
}

// A box in twips.
struct Box {
  double x0, y0, x1, y1;
  bool Meets(const Box& b) const { return x0 < b.x1 && b.x0 < x1 && y0 < b.y1 && b.y0 < y1; }
};

// The boxes of the pictures and lines of `ops`, with their places.
std::vector<std::pair<size_t, Box>> CoveringBoxes(const std::vector<DrawOp>& ops, const std::vector<Picture>& painted) {
  std::vector<std::pair<size_t, Box>> boxes;
  for (size_t i = 0; i < ops.size(); ++i) {
    if (const auto* p = std::get_if<PictureOp>(&ops[i])) {
      const PictureData& picture = *painted[i];
      boxes.emplace_back(i, Box{p->x, p->y, p->x + picture.width_twips, p->y + picture.height_twips});
    } else if (const auto* l = std::get_if<LineOp>(&ops[i])) {
      const double reach = std::max<int16_t>(l->width, 1) * kTwipsPerPixel;
      boxes.emplace_back(i, Box{std::min(l->x1, l->x2) - reach, std::min(l->y1, l->y2) - reach,
                                std::max(l->x1, l->x2) + reach, std::max(l->y1, l->y2) + reach});
    }
  }
  return boxes;
}

}  // namespace

DotPage RenderDotPage(const std::vector<DrawOp>& ops, double bottom_twips, const PrinterOutput& output,
                      DotRenderer& dots) {
  const double s = output.DotsPerTwip();
  const std::vector<Picture> painted = PaintedPictures(ops, output.fit_scale);
  const double height = PageRows(ops, painted, bottom_twips, s, output.fit_scale);
  if (height > kMaxDotRows) throw RunTimeError(kPrinterError, "Printer error: the page is too long for the printer");
  dots.Begin(output.width_dots, std::max(1, static_cast<int>(height)));
  // A text whose box no later picture or line reaches is drawn after them
  // all: hinted to the dots, a small font may set a glyph's ink (an
  // underscore) a dot below its box, where the paper of a picture drawn next
  // would clear what the PDF shows.
  const std::vector<std::pair<size_t, Box>> covering = CoveringBoxes(ops, painted);
  std::vector<std::pair<const TextOp*, std::shared_ptr<TextLayout>>> last;
  for (size_t i = 0, next = 0; i < ops.size(); ++i) {
    const DrawOp& op = ops[i];
    while (next < covering.size() && covering[next].first <= i) ++next;
    if (const auto* text = std::get_if<TextOp>(&op)) {
      std::shared_ptr<TextLayout> layout = text->measured.layout;
      TextBox logical;
      if (const auto& fast = text->measured.fast) {
        logical.width = fast->shaped.width;
        logical.height = fast->shaped.height;
      } else {
        PangoText& pango = TextEngine::Get().Pango();
        if (layout == nullptr) layout = pango.Layout(text->text, text->font, false);
        logical = pango.Logical(*layout);
      }
      const double k = kTwipsPerPoint / kPangoUnits;
      const Box box{text->x + logical.x * k, text->y + logical.y * k, text->x + (logical.x + logical.width) * k,
                    text->y + (logical.y + logical.height) * k};
      if (std::none_of(covering.begin() + static_cast<long>(next), covering.end(),
                       [&box](const auto& later) { return later.second.Meets(box); })) {
        last.emplace_back(text, std::move(layout));
      } else {
        DrawTextDots(dots, *text, layout, s);
      }
    } else if (const auto* line = std::get_if<LineOp>(&op)) {
      DrawLineDots(dots, *line, s);
    } else if (const auto* picture = std::get_if<PictureOp>(&op)) {
      DotPictureTarget target(dots, picture->x, picture->y, s, output.fit_scale);
      DrawPicture(*painted[i], target);
    }
  }
  for (const auto& [text, layout] : last) DrawTextDots(dots, *text, layout, s);
  TextEngine::Get().SaveCache();
  return dots.Take();
}

}  // namespace kalvenor
