// Print surfaces drawn with cairo, text laid out with pango: the printer,
// whose documents become roll-paper PDF pages, and the raster canvases.
#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "render/cairo_printer.h"
#include "render/dot_render-cairo.h"
#include "printers/escpos.h"
#include "base/run_time_error.h"
#include "render/canvas.h"
#include "base/units.h"

namespace kalvenor {
namespace {

constexpr double kRollWidthMm = 80.0;
constexpr double kBottomMarginTwips = 360.0;

// One pango context for all measuring, at 72 dpi so that a layout's units
// are points, with unhinted metrics so that widths scale exactly.
class TextEngine {
 public:
  static TextEngine& Get() {
    static TextEngine engine;
    return engine;
  }

  // Layout of `text` in `font`; the caller unrefs it. With `dots` its glyphs
  // are outlined for a printer's dot grid (hinted, no grey edges); glyph
  // positions and metrics stay those of the unhinted layout.
  PangoLayout* Layout(const Text& text, const FontState& font, bool dots = false) {
    PangoLayout* layout = pango_layout_new(dots ? DotsContext() : context_);
    std::string utf8 = ToUtf8(text);
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    PangoFontDescription* desc = pango_font_description_new();
    std::string family = ToUtf8(font.Name);
    pango_font_description_set_family(desc, family.c_str());
    pango_font_description_set_size(desc, static_cast<gint>(std::lround(font.Size * PANGO_SCALE)));
    pango_font_description_set_weight(desc, font.Bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(desc, font.Italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    if (font.Underline) {
      PangoAttrList* attrs = pango_attr_list_new();
      pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
      pango_layout_set_attributes(layout, attrs);
      pango_attr_list_unref(attrs);
    }
    return layout;
  }

  // A measured text: its logical width and height in points, and the
  // layout that measured it, drawn as it is (null for a text measured in
  // pieces, which is laid out again to be drawn).
  struct Measured {
    double width = 0, height = 0;
    std::shared_ptr<PangoLayout> layout;
  };

  // Logical width and height of `text`, in points. A layout's extents are
  // ints of 1/1024 point, so a long text is measured in pieces short enough
  // not to wrap, their widths added in a double; a width past 16 bits of
  // twips raises "Overflow" as soon as it is reached, so a huge line costs
  // one piece of memory and only the pieces up to the bound. Receipts repeat
  // most of their texts (labels, rules, totals), so measurements are kept.
  Measured Measure(const Text& text, const FontState& font) {
    MeasureKey key{text, font.Name, font.Size, font.Bold, font.Italic, font.Underline};
    if (auto known = measured_.find(key); known != measured_.end()) return known->second;
    double size = std::max(1.0, std::abs(static_cast<double>(font.Size)));
    size_t piece = static_cast<size_t>(std::clamp((1 << 30) / (PANGO_SCALE * 4 * size), 1.0, 4096.0));
    Measured measured;
    for (size_t at = 0; at < text.size() || at == 0;) {
      size_t n = text.size() <= piece ? text.size() : std::min(piece, text.size() - at);
      if (at + n < text.size() && text[at + n - 1] >= 0xD800 && text[at + n - 1] < 0xDC00) ++n;
      std::shared_ptr<PangoLayout> layout(Layout(n == text.size() ? text : text.substr(at, n), font),
                                          g_object_unref);
      PangoRectangle logical;
      pango_layout_get_extents(layout.get(), nullptr, &logical);
      if (n == text.size()) measured.layout = std::move(layout);
      measured.width += static_cast<double>(logical.width) / PANGO_SCALE;
      measured.height = std::max(measured.height, static_cast<double>(logical.height) / PANGO_SCALE);
      if (measured.width * kTwipsPerPoint > INT16_MAX) throw RunTimeError(kOverflow);
      at += n;
      if (n == 0) break;
    }
    if (measured_.size() >= kMaxMeasured) measured_.clear();  // memory stays bounded
    if (text.size() <= kMaxMeasuredLength) measured_.emplace(std::move(key), measured);
    return measured;
  }

  // The layout of `text` for a printer's dot grid, for the rare text the dot
  // page leaves to cairo (see DotRenderer::Stampable).
  std::shared_ptr<PangoLayout> DotLayout(const Text& text, const FontState& font) {
    return std::shared_ptr<PangoLayout>(Layout(text, font, /*dots=*/true), g_object_unref);
  }

  // The same face and size as `font` (of a measuring layout), outlined for a
  // printer's dot grid: hinted, without grey edges.
  cairo_scaled_font_t* DotFont(PangoFont* font) {
    if (auto known = dot_fonts_.find(font); known != dot_fonts_.end()) return known->second.second;
    PangoFontDescription* desc = pango_font_describe(font);
    PangoFont* dots = pango_font_map_load_font(pango_context_get_font_map(context_), DotsContext(), desc);
    pango_font_description_free(desc);
    cairo_scaled_font_t* scaled =
        dots != nullptr ? pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(dots)) : nullptr;
    // Both fonts are held, so that neither pointer is reused.
    dot_fonts_.emplace(static_cast<PangoFont*>(g_object_ref(font)), std::make_pair(dots, scaled));
    return scaled;
  }

  void Measure(const Text& text, const FontState& font, double* width, double* height) {
    Measured measured = Measure(text, font);
    *width = measured.width;
    *height = measured.height;
  }

  const std::vector<Text>& Families() {
    if (families_.empty()) {
      PangoFontFamily** list = nullptr;
      int count = 0;
      pango_font_map_list_families(pango_context_get_font_map(context_), &list, &count);
      for (int i = 0; i < count; ++i) families_.push_back(FromUtf8(pango_font_family_get_name(list[i])));
      g_free(list);
    }
    return families_;
  }

 private:
  TextEngine() {
    PangoFontMap* map = pango_cairo_font_map_get_default();
    context_ = pango_font_map_create_context(map);
    pango_cairo_context_set_resolution(context_, 72.0);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context_, FALSE);
  }

  PangoContext* DotsContext() {
    if (dots_context_ == nullptr) {
      dots_context_ = pango_font_map_create_context(pango_context_get_font_map(context_));
      pango_cairo_context_set_resolution(dots_context_, 72.0);
      cairo_font_options_t* options = cairo_font_options_create();
      cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
      cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
      cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
      pango_cairo_context_set_font_options(dots_context_, options);
      cairo_font_options_destroy(options);
      pango_context_set_round_glyph_positions(dots_context_, FALSE);
    }
    return dots_context_;
  }

  using MeasureKey = std::tuple<Text, Text, float, bool, bool, bool>;
  static constexpr size_t kMaxMeasured = 512;
  static constexpr size_t kMaxMeasuredLength = 256;

  PangoContext* context_;
  PangoContext* dots_context_ = nullptr;
  std::vector<Text> families_;
  std::map<MeasureKey, Measured> measured_;
  std::map<PangoFont*, std::pair<PangoFont*, cairo_scaled_font_t*>> dot_fonts_;
};

// RGB parts of a 0x00BBGGRR colour.
void SetColor(cairo_t* cr, uint32_t color) {
  cairo_set_source_rgb(cr, (color & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0,
                       ((color >> 16) & 0xFF) / 255.0);
}

// The rectangles of `picture` as a one-bit mask, one bit a cell of the grid
// they are drawn on: the bitmap's pixels, or the modules of a 2-D symbol.
// Null when there is no such grid or a rectangle leaves it. A document then
// carries one small image instead of hundreds of rectangles written out as
// numbers.
struct ModuleMask {
  cairo_surface_t* surface = nullptr;
  double cell_w = 0, cell_h = 0, x = 0, y = 0;  // twips
};

ModuleMask MaskOfRects(const PictureData& picture) {
  ModuleMask mask;
  if (picture.rects.empty()) return mask;
  if (picture.pixel_width > 0 && picture.pixel_height > 0) {
    mask.cell_w = picture.width_twips / picture.pixel_width;
    mask.cell_h = picture.height_twips / picture.pixel_height;
  } else if (picture.module_twips > 0 && picture.square_modules) {
    mask.cell_w = mask.cell_h = picture.module_twips;
    double left = picture.rects[0].x, top = picture.rects[0].y;
    for (const PictureData::Rect& r : picture.rects) {
      left = std::min<double>(left, r.x);
      top = std::min<double>(top, r.y);
    }
    mask.x = left - std::floor(left / mask.cell_w + 1e-6) * mask.cell_w;
    mask.y = top - std::floor(top / mask.cell_h + 1e-6) * mask.cell_h;
  } else {
    return mask;
  }
  const int columns = static_cast<int>(std::ceil((picture.width_twips - mask.x) / mask.cell_w - 1e-6));
  const int rows = static_cast<int>(std::ceil((picture.height_twips - mask.y) / mask.cell_h - 1e-6));
  if (columns <= 0 || rows <= 0 || columns > 32767 || rows > 32767) return mask;
  // A rectangle's edge within a thousandth of a cell of a grid line is on it.
  auto cell = [](double v, double step, double origin, int limit, long* at) {
    double c = (v - origin) / step;
    *at = std::lround(c);
    return std::abs(c - static_cast<double>(*at)) < 1e-3 && *at >= 0 && *at <= limit;
  };
  struct Cells {
    long x0, y0, x1, y1;
  };
  std::vector<Cells> cells;
  cells.reserve(picture.rects.size());
  for (const PictureData::Rect& r : picture.rects) {
    Cells c;
    if (!cell(r.x, mask.cell_w, mask.x, columns, &c.x0) || !cell(r.y, mask.cell_h, mask.y, rows, &c.y0) ||
        !cell(r.x + r.w, mask.cell_w, mask.x, columns, &c.x1) ||
        !cell(r.y + r.h, mask.cell_h, mask.y, rows, &c.y1)) {
      return ModuleMask();
    }
    cells.push_back(c);
  }
  mask.surface = cairo_image_surface_create(CAIRO_FORMAT_A1, columns, rows);
  if (cairo_surface_status(mask.surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(mask.surface);
    return ModuleMask();
  }
  cairo_surface_flush(mask.surface);
  unsigned char* data = cairo_image_surface_get_data(mask.surface);
  const int stride = cairo_image_surface_get_stride(mask.surface);
  for (const Cells& c : cells) {
    for (long y = c.y0; y < c.y1; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
      for (long x = c.x0; x < c.x1; ++x) {
        // A1 pixels are bits of native-endian 32-bit words.
        uint32_t bit = 1u << (std::endian::native == std::endian::little ? x % 32 : 31 - x % 32);
        row[x / 32] |= bit;
      }
    }
  }
  cairo_surface_mark_dirty(mask.surface);
  return mask;
}

// Paints `picture` with its top-left corner at the current origin of `cr`,
// `scale` device units per twip. With `masks` (vector documents) the
// rectangles of a symbol go out as a one-bit mask on their grid.
void DrawPicture(cairo_t* cr, const PictureData& picture, double scale, bool masks = false) {
  cairo_save(cr);
  cairo_scale(cr, scale, scale);
  // An opaque background covers the bitmap: it is not painted at all (in a
  // PDF it would still be embedded, compressed and carried).
  const bool covered = picture.has_background && (picture.background_argb >> 24) == 0xFF;
  if (!covered && picture.pixel_width > 0 && picture.pixel_height > 0 &&
      picture.pixels.size() == static_cast<size_t>(picture.pixel_width) * picture.pixel_height) {
    cairo_surface_t* image = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(picture.pixels.data())),
        CAIRO_FORMAT_ARGB32, picture.pixel_width, picture.pixel_height, picture.pixel_width * 4);
    cairo_save(cr);
    cairo_scale(cr, picture.width_twips / picture.pixel_width, picture.height_twips / picture.pixel_height);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(image);
  }
  auto set_argb = [cr](uint32_t argb) {
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                          (argb & 0xFF) / 255.0, ((argb >> 24) & 0xFF) / 255.0);
  };
  if (picture.has_background) {
    set_argb(picture.background_argb);
    cairo_rectangle(cr, 0, 0, picture.width_twips, picture.height_twips);
    cairo_fill(cr);
  }
  if (!picture.rects.empty()) {
    set_argb(picture.fill_argb);
    ModuleMask mask = masks ? MaskOfRects(picture) : ModuleMask();
    if (mask.surface != nullptr) {
      cairo_save(cr);
      cairo_translate(cr, mask.x, mask.y);
      cairo_scale(cr, mask.cell_w, mask.cell_h);
      cairo_pattern_t* pattern = cairo_pattern_create_for_surface(mask.surface);
      cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
      cairo_mask(cr, pattern);
      cairo_pattern_destroy(pattern);
      cairo_restore(cr);
      cairo_surface_destroy(mask.surface);
    } else {
      for (const PictureData::Rect& r : picture.rects) cairo_rectangle(cr, r.x, r.y, r.w, r.h);
      cairo_fill(cr);
    }
  }
  cairo_restore(cr);
}

// What the printer and the canvases share: text through pango onto a cairo
// context whose device units are `device_per_unit` per surface unit.
class CairoSurfaceBase {
 protected:
  // Draws `layout` (of `text` in `font`; laid out here when null).
  void DrawText(cairo_t* cr, const Text& text, const FontState& font, PangoLayout* layout,
                double x_units, double y_units, double device_per_unit, double units_per_point,
                uint32_t color) {
    PangoLayout* own = layout == nullptr ? TextEngine::Get().Layout(text, font) : nullptr;
    cairo_save(cr);
    cairo_translate(cr, x_units * device_per_unit, y_units * device_per_unit);
    double device_per_point = device_per_unit * units_per_point;
    cairo_scale(cr, device_per_point, device_per_point);
    SetColor(cr, color);
    pango_cairo_show_layout(cr, own != nullptr ? own : layout);
    cairo_restore(cr);
    if (own != nullptr) g_object_unref(own);
  }
};

int FontCountOfScreen() { return static_cast<int>(TextEngine::Get().Families().size()); }

Text FontOfScreen(int index) {
  const std::vector<Text>& families = TextEngine::Get().Families();
  if (index < 0 || index >= static_cast<int>(families.size())) throw RunTimeError(kSubscriptOutOfRange);
  return families[index];
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// One drawing operation of an open document, kept until the document ends:
// only then is it known which printer, and so which output, it goes to.
struct TextOp {
  Text text;
  FontState font;
  double x, y;
  std::shared_ptr<PangoLayout> layout;  // the measuring layout, or null
};
struct LineOp {
  float x1, y1, x2, y2;
  uint32_t color;
  int16_t width;
};
struct PictureOp {
  Picture picture;
  float x, y;
};
using DrawOp = std::variant<TextOp, LineOp, PictureOp>;

// True when `color` (0x00BBGGRR) prints black on a one-bit printer: darker
// than half.
bool Ink(uint32_t color) {
  return ((color & 0xFF) * 30 + ((color >> 8) & 0xFF) * 59 + ((color >> 16) & 0xFF) * 11) / 100 <
         128;
}

// The same for a premultiplied ARGB pixel over white paper.
bool InkArgb(uint32_t argb) {
  uint32_t a = argb >> 24;
  uint32_t lum = (((argb >> 16) & 0xFF) * 30 + ((argb >> 8) & 0xFF) * 59 + (argb & 0xFF) * 11) / 100;
  return lum + (255 - a) < 128;
}

// Paints `picture` at (x, y) twips on a dot page of `s` dots per twip,
// without resampling: a bitmap pixel becomes a whole block of dots, and the
// modules of a symbol become whole, equal numbers of dots.
void DrawPictureDots(DotRenderer& dots, const PictureData& picture, double x, double y, double s) {
  const long ox = std::lround(x * s), oy = std::lround(y * s);
  const long right = ox + std::lround(picture.width_twips * s);
  const long bottom = oy + std::lround(picture.height_twips * s);
  const bool opaque_background = picture.has_background && (picture.background_argb >> 24) == 0xFF;
  const int pw = picture.pixel_width, ph = picture.pixel_height;
  if (pw > 0 && ph > 0 && picture.pixels.size() == static_cast<size_t>(pw) * ph &&
      !opaque_background) {
    // Nearest neighbour to whole dots: every pixel the same block of dots.
    const long kx = std::max(1L, std::lround(picture.width_twips / pw * s));
    const long ky = std::max(1L, std::lround(picture.height_twips / ph * s));
    for (int py = 0; py < ph; ++py) {
      const uint32_t* row = picture.pixels.data() + static_cast<size_t>(py) * pw;
      for (int px = 0; px < pw;) {
        uint32_t first = row[px];
        bool ink = InkArgb(first);
        bool opaque = (first >> 24) == 0xFF;
        int end = px + 1;
        while (end < pw && InkArgb(row[end]) == ink && ((row[end] >> 24) == 0xFF) == opaque) ++end;
        if (ink || opaque) dots.Fill(ox + px * kx, oy + py * ky, ox + end * kx, oy + (py + 1) * ky, ink);
        px = end;
      }
    }
  }
  if (picture.has_background) dots.Fill(ox, oy, right, bottom, InkArgb(picture.background_argb));
  if (!picture.rects.empty()) {
    std::function<long(double)> fx = [&](double v) { return std::lround((x + v) * s); };
    std::function<long(double)> fy = [&](double v) { return std::lround((y + v) * s); };
    if (picture.module_twips > 0) {
      const double m = picture.module_twips;
      const long dots = std::max(picture.square_modules ? 1L : 2L, std::lround(m * s));
      fx = [=](double v) { return ox + std::lround(v / m * static_cast<double>(dots)); };
      if (picture.square_modules) {
        fy = [=](double v) { return oy + std::lround(v / m * static_cast<double>(dots)); };
      }
    }
    const bool ink = InkArgb(picture.fill_argb);
    for (const PictureData::Rect& r : picture.rects) {
      dots.Fill(fx(r.x), fy(r.y), fx(r.x + r.w), fy(r.y + r.h), ink);
    }
  }
}

class CairoPrinter : public Printer, private CairoSurfaceBase {
 public:
  CairoPrinter(std::unique_ptr<Printers> printers, Trace* trace)
      : printers_(std::move(printers)), trace_(trace) {
    current_ = printers_->DefaultIndex();
    if (current_ < 0 && !printers_->Names().empty()) current_ = 0;
  }

  std::vector<Text> DeviceNames() override {
    std::vector<Text> names;
    for (const std::string& name : printers_->Names()) names.push_back(FromUtf8(name));
    return names;
  }

  void SetCurrentPrinter(size_t index) override {
    if (index >= printers_->Names().size()) throw RunTimeError(kSubscriptOutOfRange);
    current_ = static_cast<int>(index);
  }

  Text DeviceName() override {
    if (current_ < 0) return Text();
    return FromUtf8(printers_->Names()[current_]);
  }

  void Print(const Text& text, bool end_line) override {
    OpenDocument();
    TextEngine::Measured measured = TextEngine::Get().Measure(text, Font);
    double w = measured.width * kTwipsPerPoint;
    double h = measured.height * kTwipsPerPoint;
    ops_.push_back(TextOp{text, Font, CurrentX, CurrentY, std::move(measured.layout)});
    if (trace_ != nullptr && trace_->enabled()) {
      trace_->Write("\"op\":\"print\",\"doc\":" + std::to_string(doc_) + ",\"x\":" + JsonNumber(CurrentX) +
                    ",\"y\":" + JsonNumber(CurrentY) + ",\"text\":" + JsonText(text) +
                    ",\"font\":" + JsonText(Font.Name) + ",\"size\":" + JsonNumber(Font.Size) +
                    ",\"bold\":" + Bool(Font.Bold) + ",\"italic\":" + Bool(Font.Italic) +
                    ",\"underline\":" + Bool(Font.Underline) + ",\"w\":" + JsonNumber(w) +
                    ",\"h\":" + JsonNumber(h));
    }
    Extend(CurrentY + h);
    if (end_line) {
      CurrentX = 0;
      CurrentY = static_cast<float>(CurrentY + h);
    } else {
      CurrentX = static_cast<float>(CurrentX + w);
    }
  }

  float TextWidth(const Text& text) override {
    RequirePrinter();
    double w, h;
    TextEngine::Get().Measure(text, Font, &w, &h);
    return static_cast<float>(w * kTwipsPerPoint);
  }

  float TextHeight(const Text& text) override {
    RequirePrinter();
    double w, h;
    TextEngine::Get().Measure(text, Font, &w, &h);
    return static_cast<float>(h * kTwipsPerPoint);
  }

  void Line(float x1, float y1, float x2, float y2, uint32_t color) override {
    OpenDocument();
    ops_.push_back(LineOp{x1, y1, x2, y2, color, DrawWidth});
    Extend(std::max(y1, y2));
    CurrentX = x2;
    CurrentY = y2;
    if (trace_ != nullptr && trace_->enabled()) {
      trace_->Write("\"op\":\"line\",\"doc\":" + std::to_string(doc_) + ",\"x1\":" + JsonNumber(x1) +
                    ",\"y1\":" + JsonNumber(y1) + ",\"x2\":" + JsonNumber(x2) + ",\"y2\":" +
                    JsonNumber(y2) + ",\"color\":" + std::to_string(color) + ",\"width\":" +
                    std::to_string(DrawWidth));
    }
  }

  void PaintPicture(const Picture& picture, float x, float y) override {
    RequirePrinter();
    double w = picture ? picture->width_twips : 0;
    double h = picture ? picture->height_twips : 0;
    if (trace_ != nullptr && trace_->enabled()) {
      trace_->Write("\"op\":\"picture\",\"doc\":" + std::to_string(doc_) + ",\"x\":" + JsonNumber(x) +
                    ",\"y\":" + JsonNumber(y) + ",\"w\":" + JsonNumber(w) + ",\"h\":" + JsonNumber(h));
    }
    if (!picture) return;  // no picture was made: nothing to paint
    OpenDocument();
    ops_.push_back(PictureOp{picture, x, y});
    Extend(y + h);
  }

  void EndDoc() override {
    CurrentX = 0;
    CurrentY = 0;
    if (!open_) return;  // nothing drawn since the last EndDoc
    std::string name = printers_->Names()[current_];
    PrinterOutput output = printers_->Output(name);
    std::string document = output.format == PrinterOutput::Format::kEscPos
                               ? EncodeEscPos(RenderDots(output), output.cut)
                               : RenderDocument(name, output.format == PrinterOutput::Format::kPostScript);
    DiscardDocument();
    std::string made = printers_->Submit(name, document, "Kalvenor " + std::to_string(doc_));
    if (trace_ != nullptr && trace_->enabled()) {
      trace_->Write("\"op\":\"enddoc\",\"doc\":" + std::to_string(doc_) + ",\"printer\":" +
                    JsonText(FromUtf8(name)) + ",\"output\":" + JsonText(FromUtf8(made)));
    }
    ++doc_;
  }

  int FontCount() override { return FontCountOfScreen(); }
  Text Fonts(int index) override { return FontOfScreen(index); }

 private:
  static std::string Bool(bool value) { return value ? "true" : "false"; }

  void RequirePrinter() {
    if (current_ < 0 || printers_->Names().empty()) {
      throw RunTimeError(kPrinterError, "Printer error: " + printers_->NoPrinterReason());
    }
  }

  // Opens a document unless one is open. The printer's settings are checked
  // here, so that wrong ones end the job before anything is sent to it.
  void OpenDocument() {
    RequirePrinter();
    if (open_) return;
    printers_->Output(printers_->Names()[current_]);
    open_ = true;
    max_y_twips_ = 0;
  }

  void Extend(double y_twips) { max_y_twips_ = std::max(max_y_twips_, y_twips); }

  // The open document as one page: a PDF, or PostScript for a printer that
  // takes it faster (a CUPS queue whose filters start from PostScript turns
  // a PDF into PostScript first). Both are vector output of the same
  // drawing; only the container differs.
  std::string RenderDocument(const std::string& name, bool postscript) {
    double media_mm = printers_->MediaWidthMm(name);
    double width_pt = (media_mm > 0 ? media_mm : kRollWidthMm) / 25.4 * 72.0;
    double height_pt = (max_y_twips_ + kBottomMarginTwips) / kTwipsPerPoint;
    std::string document;
    cairo_surface_t* surface;
    if (postscript) {
      surface = cairo_ps_surface_create_for_stream(AppendToString, &document, width_pt, height_pt);
      cairo_ps_surface_dsc_comment(surface, "%%Title: Kalvenor");
    } else {
      surface = cairo_pdf_surface_create_for_stream(AppendToString, &document, width_pt, height_pt);
      cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "Kalvenor");
    }
    cairo_t* cr = cairo_create(surface);
    for (const DrawOp& op : ops_) {
      if (const auto* text = std::get_if<TextOp>(&op)) {
        DrawText(cr, text->text, text->font, text->layout.get(), text->x, text->y, 1 / kTwipsPerPoint,
                 kTwipsPerPoint, 0);
      } else if (const auto* line = std::get_if<LineOp>(&op)) {
        cairo_save(cr);
        cairo_scale(cr, 1 / kTwipsPerPoint, 1 / kTwipsPerPoint);
        SetColor(cr, line->color);
        StrokeLine(cr, *line);
        cairo_restore(cr);
      } else if (const auto* picture = std::get_if<PictureOp>(&op)) {
        cairo_save(cr);
        cairo_translate(cr, picture->x / kTwipsPerPoint, picture->y / kTwipsPerPoint);
        DrawPicture(cr, *picture->picture, 1 / kTwipsPerPoint, /*masks=*/true);
        cairo_restore(cr);
      }
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
      throw RunTimeError(kPrinterError, std::string("Printer error: ") + cairo_status_to_string(status));
    }
    return document;
  }

  static void StrokeLine(cairo_t* cr, const LineOp& line) {
    cairo_set_line_width(cr, std::max<int16_t>(line.width, 1) * kTwipsPerPixel);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_move_to(cr, line.x1, line.y1);
    cairo_line_to(cr, line.x2, line.y2);
    cairo_stroke(cr);
  }

  // The open document drawn at the printer's dots, one bit a dot: the
  // drawing of the PDF, at the same places, with text glyphs hinted to the
  // dot grid and everything darker than half black.
  DotPage RenderDots(const PrinterOutput& output) {
    const double s = output.dpi / 1440.0;  // dots per twip
    double bottom = max_y_twips_ * s;
    for (const DrawOp& op : ops_) {
      // A QR symbol whose modules round up to whole dots is taller than its picture.
      const auto* p = std::get_if<PictureOp>(&op);
      if (p != nullptr && p->picture->square_modules && p->picture->module_twips > 0) {
        const double m = p->picture->module_twips, dots = static_cast<double>(std::max(1L, std::lround(m * s)));
        bottom = std::max(bottom, std::lround(p->y * s) + std::round(p->picture->height_twips / m * dots));
      }
    }
    const double height = std::ceil(bottom + kBottomMarginTwips * s);
    if (height > kMaxDotRows) {
      throw RunTimeError(kPrinterError, "Printer error: the page is too long for the printer");
    }
    const int width = output.width_dots, rows = std::max(1, static_cast<int>(height));
    dots_.Begin(width, rows);
    const double scale = s * kTwipsPerPoint;
    std::vector<DotRenderer::PlacedGlyph> glyphs;
    for (const DrawOp& op : ops_) {
      if (const auto* text = std::get_if<TextOp>(&op)) {
        glyphs.clear();
        if (PlaceTextDots(*text, s, &glyphs)) {
          dots_.DrawGlyphs(glyphs, scale);
        } else {
          DrawTextWithCairo(*text, s);
        }
      } else if (const auto* line = std::get_if<LineOp>(&op)) {
        // Lines keep cairo's coverage, over a box just around them.
        const double reach = std::max<int16_t>(line->width, 1) * kTwipsPerPixel * s / 2 + 2;
        dots_.DrawWithCairo(std::lround(std::floor(std::min(line->x1, line->x2) * s - reach)),
                            std::lround(std::floor(std::min(line->y1, line->y2) * s - reach)),
                            std::lround(std::ceil(std::max(line->x1, line->x2) * s + reach)),
                            std::lround(std::ceil(std::max(line->y1, line->y2) * s + reach)), Ink(line->color),
                            [&](cairo_t* cr) {
                              cairo_scale(cr, s, s);
                              StrokeLine(cr, *line);
                            });
      } else if (const auto* picture = std::get_if<PictureOp>(&op)) {
        DrawPictureDots(dots_, *picture->picture, picture->x, picture->y, s);
      }
    }
    return dots_.Take();
  }

  // The glyphs of a text on the dot page, from its measuring layout so that
  // they stand where the PDF has them. False when cairo must draw the text:
  // an underline, a glyph no font has, or letters larger than a receipt's.
  static bool PlaceTextDots(const TextOp& text, double s, std::vector<DotRenderer::PlacedGlyph>* glyphs) {
    TextEngine& engine = TextEngine::Get();
    std::shared_ptr<PangoLayout> layout = text.layout;
    if (layout == nullptr) layout.reset(engine.Layout(text.text, text.font), g_object_unref);
    if (std::abs(text.font.Size) * s * kTwipsPerPoint > DotRenderer::kMaxStampedEm ||
        !DotRenderer::Stampable(layout.get())) {
      return false;
    }
    DotRenderer::PlaceGlyphs(layout.get(), text.x * s, text.y * s, s * kTwipsPerPoint,
                             [&engine](PangoFont* font) { return engine.DotFont(font); }, glyphs);
    return true;
  }

  // A text the dot page leaves to cairo, drawn over its own box.
  void DrawTextWithCairo(const TextOp& text, double s) {
    std::shared_ptr<PangoLayout> layout = TextEngine::Get().DotLayout(text.text, text.font);
    const double tx = text.x * s, ty = text.y * s, scale = s * kTwipsPerPoint;
    PangoRectangle ink;
    pango_layout_get_extents(layout.get(), &ink, nullptr);
    const double margin = 4;  // dots the grid fitting may move an outline
    dots_.DrawWithCairo(std::lround(std::floor(tx + scale * ink.x / PANGO_SCALE - margin)),
                        std::lround(std::floor(ty + scale * ink.y / PANGO_SCALE - margin)),
                        std::lround(std::ceil(tx + scale * (ink.x + ink.width) / PANGO_SCALE + margin)),
                        std::lround(std::ceil(ty + scale * (ink.y + ink.height) / PANGO_SCALE + margin)), true,
                        [&](cairo_t* cr) {
                          cairo_translate(cr, tx, ty);
                          cairo_scale(cr, scale, scale);
                          pango_cairo_show_layout(cr, layout.get());
                        });
  }

  void DiscardDocument() {
    ops_.clear();
    open_ = false;
  }

  // Cairo's largest image; at 203 dots per inch about four metres of paper.
  static constexpr double kMaxDotRows = 32767;

  std::unique_ptr<Printers> printers_;
  Trace* trace_;
  int current_ = -1;
  int doc_ = 1;
  bool open_ = false;
  std::vector<DrawOp> ops_;
  double max_y_twips_ = 0;
  DotRenderer dots_;  // keeps the glyphs it rendered for the next documents
};

class CairoCanvas : public Canvas, private CairoSurfaceBase {
 public:
  CairoCanvas(int pixel_width, int pixel_height, float units_per_pixel, uint32_t back_color)
      : units_per_pixel_(units_per_pixel) {
    BackColor = back_color;
    Create(std::max(pixel_width, 1), std::max(pixel_height, 1));
    Cls();
  }
  ~CairoCanvas() override {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }

  void Cls() override {
    cairo_save(cr_);
    SetColor(cr_, BackColor);
    cairo_paint(cr_);
    cairo_restore(cr_);
    CurrentX = 0;
    CurrentY = 0;
  }

  int PixelWidth() const override { return width_; }
  int PixelHeight() const override { return height_; }

  void Resize(int pixel_width, int pixel_height) override {
    pixel_width = std::max(pixel_width, 1);
    pixel_height = std::max(pixel_height, 1);
    cairo_surface_t* old_surface = surface_;
    cairo_t* old_cr = cr_;
    Create(pixel_width, pixel_height);
    cairo_save(cr_);
    SetColor(cr_, BackColor);
    cairo_paint(cr_);
    cairo_set_source_surface(cr_, old_surface, 0, 0);
    cairo_paint(cr_);
    cairo_restore(cr_);
    cairo_destroy(old_cr);
    cairo_surface_destroy(old_surface);
  }

  Picture Image() const override {
    cairo_surface_flush(surface_);
    auto picture = std::make_shared<PictureData>();
    picture->pixel_width = width_;
    picture->pixel_height = height_;
    picture->width_twips = static_cast<float>(width_ * kTwipsPerPixel);
    picture->height_twips = static_cast<float>(height_ * kTwipsPerPixel);
    picture->pixels.resize(static_cast<size_t>(width_) * height_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    int stride = cairo_image_surface_get_stride(surface_);
    for (int row = 0; row < height_; ++row) {
      std::copy_n(reinterpret_cast<const uint32_t*>(data + row * stride), width_,
                  picture->pixels.begin() + static_cast<size_t>(row) * width_);
    }
    return picture;
  }

  void Print(const Text& text, bool end_line) override {
    TextEngine::Measured measured = TextEngine::Get().Measure(text, Font);
    double w = measured.width, h = measured.height;
    DrawText(cr_, text, Font, measured.layout.get(), CurrentX, CurrentY, 1 / units_per_pixel_,
             UnitsPerPoint(), ForeColor);
    if (end_line) {
      CurrentX = 0;
      CurrentY = static_cast<float>(CurrentY + h * UnitsPerPoint());
    } else {
      CurrentX = static_cast<float>(CurrentX + w * UnitsPerPoint());
    }
  }

  float TextWidth(const Text& text) override {
    double w, h;
    TextEngine::Get().Measure(text, Font, &w, &h);
    return static_cast<float>(w * UnitsPerPoint());
  }

  float TextHeight(const Text& text) override {
    double w, h;
    TextEngine::Get().Measure(text, Font, &w, &h);
    return static_cast<float>(h * UnitsPerPoint());
  }

  // Lines cover whole pixels as on a screen: a vertical or horizontal line
  // of width n fills n pixel columns (rows) from its start, so module edges
  // of a barcode fall exactly on pixel edges.
  void Line(float x1, float y1, float x2, float y2, uint32_t color) override {
    double px1 = x1 / units_per_pixel_, py1 = y1 / units_per_pixel_;
    double px2 = x2 / units_per_pixel_, py2 = y2 / units_per_pixel_;
    int pen = std::max<int16_t>(DrawWidth, 1);
    if (px1 == px2 || py1 == py2) {
      double left = std::floor(std::min(px1, px2)), top = std::floor(std::min(py1, py2));
      double right = std::floor(std::max(px1, px2)), bottom = std::floor(std::max(py1, py2));
      if (px1 == px2) {
        FillPixels(left - (pen - 1) / 2, top, left - (pen - 1) / 2 + pen, top + std::max(bottom - top, 1.0), color);
      } else {
        FillPixels(left, top - (pen - 1) / 2, left + std::max(right - left, 1.0), top - (pen - 1) / 2 + pen, color);
      }
    } else {
      cairo_save(cr_);
      SetColor(cr_, color);
      cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
      cairo_set_line_width(cr_, pen);
      cairo_move_to(cr_, px1 + 0.5, py1 + 0.5);
      cairo_line_to(cr_, px2 + 0.5, py2 + 0.5);
      cairo_stroke(cr_);
      cairo_restore(cr_);
    }
    CurrentX = x2;
    CurrentY = y2;
  }

  void PaintPicture(const Picture& picture, float x, float y) override {
    if (!picture) return;
    cairo_save(cr_);
    cairo_translate(cr_, x / units_per_pixel_, y / units_per_pixel_);
    DrawPicture(cr_, *picture, 1 / kTwipsPerPixel);
    cairo_restore(cr_);
  }

  void EndDoc() override {}  // a picture box keeps its image

  int FontCount() override { return FontCountOfScreen(); }
  Text Fonts(int index) override { return FontOfScreen(index); }

 private:
  // Paints the whole pixels [x0, x1) x [y0, y1) in `color` (0x00BBGGRR), as
  // cairo fills a rectangle on pixel edges, without a path for every bar.
  void FillPixels(double x0, double y0, double x1, double y1, uint32_t color) {
    // On the surface, whole pixels (the edges are whole already); NaN is 0.
    auto pixel = [](double v, int limit) { return v > 0 ? (v < limit ? static_cast<int>(v) : limit) : 0; };
    const int left = pixel(x0, width_), right = pixel(x1, width_);
    const int top = pixel(y0, height_), bottom = pixel(y1, height_);
    cairo_surface_flush(surface_);
    unsigned char* data = cairo_image_surface_get_data(surface_);
    if (left >= right || top >= bottom || data == nullptr) return;  // nothing to paint, or no surface
    const uint32_t argb = 0xFF000000u | ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
    const int stride = cairo_image_surface_get_stride(surface_);
    for (int y = top; y < bottom; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
      std::fill(row + left, row + right, argb);
    }
    cairo_surface_mark_dirty_rectangle(surface_, left, top, right - left, bottom - top);
  }

  // Surface units per point: 96/72 pixels per point, in the canvas's unit.
  double UnitsPerPoint() const { return 96.0 / 72.0 * units_per_pixel_; }

  void Create(int pixel_width, int pixel_height) {
    width_ = pixel_width;
    height_ = pixel_height;
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_);
    cr_ = cairo_create(surface_);
  }

  double units_per_pixel_;
  int width_ = 0;
  int height_ = 0;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
};

}  // namespace

// The fontconfig configuration of a run: the system's font folders and
// caches, the generic families and the rules that decide which face a
// request gets, without the dozens of files of the system configuration
// (parsing them cost a job more than any other start-up step). The families
// and rules are those of the system's own configuration for the fonts the
// program installs with, so a family resolves to the same face.
constexpr char kBaseFontConfiguration[] = R"(<?xml version="1.0"?>
<fontconfig>
  <dir>/usr/share/fonts</dir>
  <dir>/usr/local/share/fonts</dir>
  <dir prefix="xdg">fonts</dir>
  <dir>~/.fonts</dir>
  <cachedir>/var/cache/fontconfig</cachedir>
  <cachedir prefix="xdg">fontconfig</cachedir>
  <cachedir>~/.fontconfig</cachedir>
  <selectfont><rejectfont><pattern>
    <patelt name="scalable"><bool>false</bool></patelt>
  </pattern></rejectfont></selectfont>
  <match target="pattern">
    <edit name="hintstyle" mode="append"><const>hintslight</const></edit>
    <edit name="antialias" mode="append"><bool>true</bool></edit>
    <edit name="lcdfilter" mode="append"><const>lcddefault</const></edit>
  </match>
  <match target="font">
    <test name="family"><string>DejaVu Sans</string></test>
    <test compare="less" name="pixelsize"><double>7.5</double></test>
    <edit name="hinting"><bool>false</bool></edit>
  </match>
  <match target="font">
    <test name="family"><string>DejaVu Sans Mono</string></test>
    <test compare="less" name="pixelsize"><double>7.5</double></test>
    <edit name="hinting"><bool>false</bool></edit>
  </match>
  <match target="font">
    <test name="family"><string>DejaVu Serif</string></test>
    <test compare="less" name="pixelsize"><double>7.5</double></test>
    <edit name="hinting"><bool>false</bool></edit>
  </match>
  <alias binding="same"><family>Arial</family><accept><family>Liberation Sans</family></accept></alias>
  <alias binding="same"><family>Helvetica</family><accept><family>Liberation Sans</family></accept></alias>
  <alias binding="same"><family>Times New Roman</family><accept><family>Liberation Serif</family></accept></alias>
  <alias binding="same"><family>Times</family><accept><family>Liberation Serif</family></accept></alias>
  <alias binding="same"><family>Courier New</family><accept><family>Liberation Mono</family></accept></alias>
  <alias binding="same"><family>Courier</family><accept><family>Liberation Mono</family></accept></alias>
  <match target="pattern">
    <test qual="all" name="family" compare="not_eq"><string>sans-serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>monospace</string></test>
    <edit name="family" mode="append_last"><string>sans-serif</string></edit>
  </match>
  <alias><family>sans-serif</family><prefer><family>DejaVu Sans</family>
    <family>Liberation Sans</family><family>Nimbus Sans</family></prefer></alias>
  <alias><family>serif</family><prefer><family>DejaVu Serif</family>
    <family>Liberation Serif</family><family>Nimbus Roman</family></prefer></alias>
  <alias><family>monospace</family><prefer><family>DejaVu Sans Mono</family>
    <family>Liberation Mono</family><family>Nimbus Mono PS</family></prefer></alias>
  <match target="font">
    <test name="slant"><const>roman</const></test>
    <test target="pattern" name="slant" compare="not_eq"><const>roman</const></test>
    <edit name="matrix" mode="assign"><times><name>matrix</name>
      <matrix><double>1</double><double>0.2</double><double>0</double><double>1</double></matrix>
    </times></edit>
    <edit name="slant" mode="assign"><const>oblique</const></edit>
    <edit name="embeddedbitmap" mode="assign"><bool>false</bool></edit>
  </match>
  <match target="font">
    <test name="weight" compare="less_eq"><const>medium</const></test>
    <test target="pattern" name="weight" compare="more_eq"><const>bold</const></test>
    <edit name="embolden" mode="assign"><bool>true</bool></edit>
    <edit name="weight" mode="assign"><const>bold</const></edit>
  </match>
</fontconfig>
)";

void LoadFontConfiguration(const std::string& conf_path) {
  FcConfig* config = FcConfigCreate();
  if (config == nullptr) return;  // the system configuration stays
  FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kBaseFontConfiguration),
                                 FcTrue);
  // The program's aliases last, where they were on top of the system's.
  if (!conf_path.empty()) {
    FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(conf_path.c_str()), FcFalse);
  }
  if (FcConfigBuildFonts(config)) FcConfigSetCurrent(config);
  FcConfigDestroy(config);  // the current configuration keeps its own reference
}

std::unique_ptr<Printer> MakeCairoPrinter(std::unique_ptr<Printers> printers, Trace* trace) {
  return std::make_unique<CairoPrinter>(std::move(printers), trace);
}

std::unique_ptr<Canvas> MakeCanvas(int pixel_width, int pixel_height, float units_per_pixel,
                                   uint32_t back_color) {
  return std::make_unique<CairoCanvas>(pixel_width, pixel_height, units_per_pixel, back_color);
}

}  // namespace kalvenor
