// Text: shaped from the font files for what one font lays out alone,
// through pango for the rest; measuring, drawing, the dot grid's glyph
// images, and the font list.
#include <hb.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "base/run_time_error.h"
#include "base/units.h"
#include "render/cairo_printer.h"
#include "render/dot_render-cairo.h"
#include "render/drawing-cairo.h"
#include "render/pango_text.h"

#ifndef KALVENOR_VERSION
#define KALVENOR_VERSION "unknown"
#endif
#ifndef KALVENOR_LIBRARY_DIR
#define KALVENOR_LIBRARY_DIR "/usr/lib"
#endif

namespace kalvenor {
namespace {

// What makes a cache written by another build unusable: the program and
// the libraries that lay out and draw the glyphs. Cairo's files are known
// by their stamps, so that a job with a warm cache need not load cairo to
// ask for its version.
std::string CacheVersion() {
  std::string version = std::string("kalvenor ") + KALVENOR_VERSION + " fonts 3, harfbuzz " + hb_version_string() +
                        ", cairo " + CAIRO_VERSION_STRING;
  for (const char* library : {"libcairo.so.2", "libpixman-1.so.0", "libfreetype.so.6"}) {
    const FileStamp stamp = StampOf(std::string(KALVENOR_LIBRARY_DIR) + "/" + library);
    version += ", " + std::string(library) + " " + std::to_string(stamp.size) + " " + std::to_string(stamp.mtime_ns);
  }
  return version;
}

FontOptionsPtr MakeOptions(const std::array<int, 4>& o) {
  FontOptionsPtr options(cairo_font_options_create());
  cairo_font_options_set_antialias(options.get(), static_cast<cairo_antialias_t>(o[0]));
  cairo_font_options_set_subpixel_order(options.get(), static_cast<cairo_subpixel_order_t>(o[1]));
  cairo_font_options_set_hint_style(options.get(), static_cast<cairo_hint_style_t>(o[2]));
  cairo_font_options_set_hint_metrics(options.get(), static_cast<cairo_hint_metrics_t>(o[3]));
  return options;
}

cairo_matrix_t CairoMatrix(const std::array<double, 4>& m) { return {m[0], m[1], m[2], m[3], 0, 0}; }

// The face cairo makes from a pattern with a file: no font configuration
// is read for it. A pattern fontconfig wrote always parses; one that does
// not would leave text out, so it fails the job instead.
cairo_font_face_t* FaceOf(const std::string& pattern) {
  FcPattern* parsed = FcNameParse(reinterpret_cast<const FcChar8*>(pattern.c_str()));
  if (parsed == nullptr) throw RunTimeError(kInternalError);
  cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(parsed);
  FcPatternDestroy(parsed);
  return face;
}

// a * b / 255, rounded as pixman rounds it.
uint32_t Multiply(uint32_t a, uint32_t b) {
  const uint32_t t = a * b + 0x80;
  return ((t >> 8) + t) >> 8;
}

// The premultiplied pixel `dst` with the opaque `argb` over it through the
// cover `m`, as pixman composites a solid colour through a glyph mask.
uint32_t OverThrough(uint32_t argb, uint32_t m, uint32_t dst) {
  if (m == 0) return dst;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t c = Multiply((argb >> shift) & 0xFF, m) + Multiply((dst >> shift) & 0xFF, 255 - m);
    out |= std::min<uint32_t>(c, 255) << shift;
  }
  return out;
}

// Where pango's cairo renderer puts glyph `g` of `shaped`, in points from
// the text's top-left corner.
std::pair<double, double> GlyphOrigin(const ShapedText& shaped, const ShapedText::Glyph& g) {
  const double base_y = static_cast<double>(shaped.baseline) / kPangoUnits;
  return {static_cast<double>(g.x) / kPangoUnits, g.y == 0 ? base_y : base_y + static_cast<double>(g.y) / kPangoUnits};
}

std::string Hex(double v) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(std::bit_cast<uint64_t>(v)));
  return text;
}

}  // namespace

// A font shaped from its file: what it resolved to, and what draws it.
struct TextEngine::Font {
  ResolvedFont resolved;
  std::unique_ptr<ShapingFont> shaping;
  cairo_font_face_t* face = nullptr;         // made at its first drawing
  cairo_scaled_font_t* dot_font = nullptr;   // made at its first glyph image
  // Glyph images by grey (the font's own, for a canvas) or not (the dot
  // font's, for the dot grid) and device units a point: the strike's key
  // in the cache, and its images.
  std::map<std::pair<bool, double>, std::pair<std::string, std::map<uint32_t, GlyphBits>*>> strikes;

  ~Font() {
    if (face != nullptr) cairo_font_face_destroy(face);
    if (dot_font != nullptr) cairo_scaled_font_destroy(dot_font);
  }
};

TextEngine& TextEngine::Get() {
  static TextEngine engine;
  return engine;
}

TextEngine::TextEngine() = default;

void TextEngine::Configure(FontSetup setup) {
  setup_ = std::move(setup);
  cache_.reset();
}

PangoText& TextEngine::Pango() {
  if (pango_ == nullptr) {
    // Pango reads the font configuration at its first font: the program's
    // own is made current before.
    if (setup_.own_configuration) {
      std::string problem = LoadFontConfiguration(setup_.conf_path, &own_configuration_);
      if (!problem.empty()) {
        // Resolved under a configuration short of what was asked: not kept,
        // so that every job says so.
        own_configuration_ = false;
        if (setup_.warn) setup_.warn(problem);
      }
    }
    std::string error;
    pango_ = MakePangoText(&error);
    if (pango_ == nullptr) {
      if (setup_.warn) setup_.warn("no text layout: " + error);
      throw RunTimeError(kFileNotFound);
    }
  }
  return *pango_;
}

FontCache& TextEngine::Cache() {
  if (cache_ == nullptr) {
    const bool own = setup_.own_configuration;
    cache_ = std::make_unique<FontCache>(own ? setup_.cache_folder : "", CacheVersion(),
                                         own ? FontConfigurationStamp(setup_.conf_path) : "");
  }
  return *cache_;
}

TextEngine::Font* TextEngine::FastFont(const FontState& font) {
  auto [entry, fresh] = fast_fonts_.try_emplace(FontKey{font.Name, font.Size, font.Bold, font.Italic});
  if (!fresh) return entry->second.get();
  const long size = std::lround(font.Size * kPangoUnits);
  if (size <= 0 || size > (1L << 24)) return nullptr;  // pango's own business
  const std::string request = ToUtf8(font.Name) + "\n" + std::to_string(size) + (font.Bold ? " bold" : "") +
                              (font.Italic ? " italic" : "");
  FontCache& cache = Cache();
  std::optional<ResolvedFont> resolved;
  if (const ResolvedFont* known = cache.Find(request)) {
    resolved = *known;
  } else {
    std::vector<std::string> watched;
    resolved = Pango().Resolve(font, &watched);
    if (!resolved) return nullptr;
    if (own_configuration_) cache.Add(request, *resolved, watched);  // written when the document ends
  }
  if (!cache.problem().empty() && !cache_problem_told_ && setup_.warn) {
    cache_problem_told_ = true;
    setup_.warn("font cache: " + cache.problem() + "; fonts are resolved again at every job");
  }
  auto shaping = ShapingFont::Open(*resolved, static_cast<int>(size), faces_);
  if (shaping == nullptr) return nullptr;
  entry->second = std::make_unique<Font>();
  entry->second->resolved = std::move(*resolved);
  entry->second->shaping = std::move(shaping);
  return entry->second.get();
}

// A layout's extents are ints of 1/1024 point, so a long text is measured in
// pieces short enough not to wrap, their widths added in a double; a width
// past 16 bits of twips raises "Overflow" as soon as it is reached, so a huge
// line costs one piece of memory and only the pieces up to the bound.
// Receipts repeat most of their texts (labels, rules, totals), so
// measurements are kept.
TextEngine::Measured TextEngine::Measure(const Text& text, const FontState& font) {
  MeasureKey key{text, font.Name, font.Size, font.Bold, font.Italic, font.Underline};
  if (auto known = measured_.find(key); known != measured_.end()) return known->second;
  double size = std::max(1.0, std::abs(static_cast<double>(font.Size)));
  size_t piece = static_cast<size_t>(std::clamp((1 << 30) / (kPangoUnits * 4 * size), 1.0, 4096.0));
  Measured measured;
  if (Font* fast_font = !font.Underline && text.size() <= piece ? FastFont(font) : nullptr) {
    auto fast = std::make_shared<FastText>(FastText{{}, fast_font});
    if (fast_font->shaping->Shape(text, &fast->shaped)) {
      measured.width = static_cast<double>(fast->shaped.width) / kPangoUnits;
      measured.height = static_cast<double>(fast->shaped.height) / kPangoUnits;
      if (measured.width * kTwipsPerPoint > INT16_MAX) throw RunTimeError(kOverflow);
      measured.fast = std::move(fast);
    }
  }
  for (size_t at = 0; measured.fast == nullptr && (at < text.size() || at == 0);) {
    size_t n = text.size() <= piece ? text.size() : std::min(piece, text.size() - at);
    if (at + n < text.size() && text[at + n - 1] >= 0xD800 && text[at + n - 1] < 0xDC00) ++n;
    std::shared_ptr<TextLayout> layout = Pango().Layout(n == text.size() ? text : text.substr(at, n), font, false);
    const TextBox logical = Pango().Logical(*layout);
    if (n == text.size()) measured.layout = std::move(layout);
    measured.width += static_cast<double>(logical.width) / kPangoUnits;
    measured.height = std::max(measured.height, static_cast<double>(logical.height) / kPangoUnits);
    if (measured.width * kTwipsPerPoint > INT16_MAX) throw RunTimeError(kOverflow);
    at += n;
    if (n == 0) break;
  }
  if (measured_.size() >= kMaxMeasured) measured_.clear();  // memory stays bounded
  if (text.size() <= kMaxMeasuredLength) measured_.emplace(std::move(key), measured);
  return measured;
}

void TextEngine::ShowFast(cairo_t* cr, const FastText& text) {
  Font& font = *text.font;
  if (font.face == nullptr) font.face = FaceOf(font.resolved.pattern);
  cairo_set_font_face(cr, font.face);
  const cairo_matrix_t matrix = CairoMatrix(font.resolved.matrix);
  cairo_set_font_matrix(cr, &matrix);
  cairo_set_font_options(cr, MakeOptions(font.resolved.options).get());
  // Placed as pango's cairo renderer places them, with the characters of
  // each glyph, so that a PDF's text can be copied and searched.
  const ShapedText& shaped = text.shaped;
  std::vector<cairo_glyph_t> glyphs;
  std::vector<cairo_text_cluster_t> clusters;
  for (size_t i = 0; i < shaped.glyphs.size(); ++i) {
    const ShapedText::Glyph& g = shaped.glyphs[i];
    const auto [x, y] = GlyphOrigin(shaped, g);
    glyphs.push_back({g.index, x, y});
    if (i == 0 || g.cluster != shaped.glyphs[i - 1].cluster) {
      const size_t end = std::find_if(shaped.glyphs.begin() + static_cast<long>(i), shaped.glyphs.end(),
                                      [&g](const ShapedText::Glyph& n) { return n.cluster != g.cluster; }) -
                         shaped.glyphs.begin();
      const uint32_t next = end < shaped.glyphs.size() ? shaped.glyphs[end].cluster : shaped.utf8.size();
      clusters.push_back({static_cast<int>(next - g.cluster), 0});
    }
    ++clusters.back().num_glyphs;
  }
  cairo_show_text_glyphs(cr, shaped.utf8.data(), static_cast<int>(shaped.utf8.size()), glyphs.data(),
                         static_cast<int>(glyphs.size()), clusters.data(), static_cast<int>(clusters.size()),
                         static_cast<cairo_text_cluster_flags_t>(0));
}

const GlyphBits& TextEngine::GlyphImage(Font& font, bool grey, double scale, uint32_t index) {
  auto& [strike, glyphs] = font.strikes[{grey, scale}];
  const ResolvedFont& r = font.resolved;
  if (glyphs == nullptr) {
    strike = (grey ? "grey " + r.pattern : r.dot_pattern) + "\n" + r.file.path + " " + std::to_string(r.file.size) +
             " " + std::to_string(r.file.mtime_ns) + " " + std::to_string(r.index);
    for (double v : grey ? r.matrix : r.dot_matrix) strike += " " + Hex(v);
    for (int v : grey ? r.options : r.dot_options) strike += " " + std::to_string(v);
    strike += " at " + Hex(scale);
    glyphs = &Cache().Glyphs(strike);
  }
  // An image of the other kind (a cache file made so on purpose) is drawn again.
  if (auto known = glyphs->find(index); known != glyphs->end() && known->second.grey == grey) return known->second;
  GlyphBits image;
  if (grey) {
    if (font.face == nullptr) font.face = FaceOf(r.pattern);
    image = DotRenderer::RenderGlyphImage(font.face, CairoMatrix(r.matrix), MakeOptions(r.options).get(), scale,
                                          index, true);
  } else {
    if (font.dot_font == nullptr) {
      cairo_font_face_t* face = FaceOf(r.dot_pattern);
      const cairo_matrix_t matrix = CairoMatrix(r.dot_matrix), identity = {1, 0, 0, 1, 0, 0};
      font.dot_font = cairo_scaled_font_create(face, &matrix, &identity, MakeOptions(r.dot_options).get());
      cairo_font_face_destroy(face);
    }
    image = DotRenderer::RenderGlyph(font.dot_font, scale, index);
  }
  Cache().Grew(strike);
  return (*glyphs)[index] = std::move(image);
}

void TextEngine::StampFast(DotRenderer& dots, const FastText& text, double tx, double ty, double scale) {
  for (const ShapedText::Glyph& g : text.shaped.glyphs) {
    const auto [cx, cy] = GlyphOrigin(text.shaped, g);
    dots.Stamp(GlyphImage(*text.font, false, scale, g.index), DotRenderer::DotOf(scale * cx + tx),
               DotRenderer::DotOf(scale * cy + ty));
  }
}

bool TextEngine::PaintFast(PixelImage& image, const FastText& text, double tx, double ty, double scale,
                           uint32_t argb) {
  // Cairo draws glyphs in grey only without colour fringes, which the font
  // options or the font's pattern (its subpixel order) may ask for; those
  // it draws itself.
  const ResolvedFont& resolved = text.font->resolved;
  const size_t rgba = resolved.pattern.find(":rgba=");
  if (resolved.options[0] == CAIRO_ANTIALIAS_SUBPIXEL || resolved.options[1] != CAIRO_SUBPIXEL_ORDER_DEFAULT ||
      (rgba != std::string::npos && resolved.pattern.compare(rgba + 6, 1, "5") != 0)) {
    return false;
  }
  struct Placed {
    const GlyphBits* glyph;
    long x, y;  // its origin's pixel
  };
  std::vector<Placed> placed;
  // Cairo adds the glyphs' covers into one mask when the outline box of a
  // glyph meets the box of all before it, and else lays them over the
  // pixels one by one; the outline boxes, in 1/256 pixel, must lie on the
  // image, or cairo clips them.
  bool overlap = false;
  int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
  for (const ShapedText::Glyph& g : text.shaped.glyphs) {
    const GlyphBits& glyph = GlyphImage(*text.font, true, scale, g.index);
    const auto [cx, cy] = GlyphOrigin(text.shaped, g);
    const long x = DotRenderer::DotOf(scale * cx + tx), y = DotRenderer::DotOf(scale * cy + ty);
    constexpr long kFar = 1L << 40;  // far off any image; the sums below stay in range
    if (x < -kFar || x > kFar || y < -kFar || y > kFar) return false;
    placed.push_back({&glyph, x, y});
    const int64_t left = x * 256L + glyph.outline[0], top = y * 256L + glyph.outline[1];
    const int64_t right = x * 256L + glyph.outline[2], bottom = y * 256L + glyph.outline[3];
    if (!overlap && left != right && top != bottom) overlap = right > x0 && left < x1 && bottom > y0 && top < y1;
    x0 = std::min(x0, left);
    y0 = std::min(y0, top);
    x1 = std::max(x1, right);
    y1 = std::max(y1, bottom);
  }
  if (placed.empty()) return true;
  if (x0 < 0 || y0 < 0 || x1 > 256L * image.width || y1 > 256L * image.height) return false;
  // The images too, which reach past the outline where they are grey; the
  // box they cover, [left, right) x [top, bottom) pixels.
  long left = image.width, top = image.height, right = 0, bottom = 0;
  for (const Placed& p : placed) {
    const GlyphBits& g = *p.glyph;
    if (g.width == 0) continue;
    left = std::min(left, p.x + g.left);
    top = std::min(top, p.y + g.top);
    right = std::max(right, p.x + g.left + g.width);
    bottom = std::max(bottom, p.y + g.top + g.height);
  }
  if (left < 0 || top < 0 || right > image.width || bottom > image.height) return false;
  // Each glyph over the pixels, or their covers added up (saturating) over
  // the box and the colour over its pixels through the sum.
  const long box_width = std::max(right - left, 0L);
  std::vector<uint8_t> sum;
  if (overlap) sum.assign(static_cast<size_t>(box_width * std::max(bottom - top, 0L)), 0);
  for (const Placed& p : placed) {
    const GlyphBits& g = *p.glyph;
    for (int r = 0; r < g.height; ++r) {
      const uint8_t* cover = g.bits.data() + r * g.RowBytes();
      const long y = p.y + g.top + r, x = p.x + g.left;
      uint8_t* added = overlap ? sum.data() + (y - top) * box_width + (x - left) : nullptr;
      uint32_t* pixel = image.pixels + y * image.width + x;
      for (int c = 0; c < g.width; ++c) {
        if (overlap) {
          added[c] = static_cast<uint8_t>(std::min(255, added[c] + cover[c]));
        } else {
          pixel[c] = OverThrough(argb, cover[c], pixel[c]);
        }
      }
    }
  }
  for (long y = top; overlap && y < bottom; ++y) {
    uint32_t* row = image.pixels + y * image.width;
    const uint8_t* added = sum.data() + (y - top) * box_width;
    for (long x = left; x < right; ++x) row[x] = OverThrough(argb, added[x - left], row[x]);
  }
  return true;
}

void TextEngine::SaveCache() {
  if (cache_ != nullptr) cache_->Save();
}

const std::vector<Text>& TextEngine::Families() {
  if (families_.empty()) families_ = Pango().Families();
  return families_;
}

void DrawText(cairo_t* cr, const Text& text, const FontState& font, const TextEngine::Measured& measured,
              double x_units, double y_units, double device_per_unit, double units_per_point, uint32_t color) {
  cairo_save(cr);
  cairo_translate(cr, x_units * device_per_unit, y_units * device_per_unit);
  double device_per_point = device_per_unit * units_per_point;
  cairo_scale(cr, device_per_point, device_per_point);
  SetColor(cr, color);
  if (measured.fast != nullptr) {
    TextEngine::Get().ShowFast(cr, *measured.fast);
  } else {
    PangoText& pango = TextEngine::Get().Pango();
    pango.Show(cr, measured.layout != nullptr ? *measured.layout : *pango.Layout(text, font, false));
  }
  cairo_restore(cr);
}

int FontCountOfScreen() { return static_cast<int>(TextEngine::Get().Families().size()); }

Text FontOfScreen(int index) {
  const std::vector<Text>& families = TextEngine::Get().Families();
  if (index < 0 || index >= static_cast<int>(families.size())) throw RunTimeError(kSubscriptOutOfRange);
  return families[index];
}

}  // namespace kalvenor
