// Text through pango: laying out, measuring and drawing, and the font list.
#include <algorithm>
#include <cmath>

#include "base/run_time_error.h"
#include "base/units.h"
#include "render/drawing-cairo.h"

namespace kalvenor {
namespace {

// A context of `map` at 72 dpi with unhinted metrics and unrounded glyph
// positions, its outlines hinted in `hint_style`.
PangoContext* MakeContext(PangoFontMap* map, cairo_hint_style_t hint_style, bool antialias) {
  PangoContext* context = pango_font_map_create_context(map);
  pango_cairo_context_set_resolution(context, 72.0);
  FontOptionsPtr options(cairo_font_options_create());
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options.get(), hint_style);
  if (!antialias) cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_NONE);
  pango_cairo_context_set_font_options(context, options.get());
  pango_context_set_round_glyph_positions(context, FALSE);
  return context;
}

}  // namespace

TextEngine& TextEngine::Get() {
  static TextEngine engine;
  return engine;
}

TextEngine::TextEngine()
    : context_(MakeContext(pango_cairo_font_map_get_default(), CAIRO_HINT_STYLE_NONE, /*antialias=*/true)) {}

PangoContext* TextEngine::DotsContext() {
  if (dots_context_ == nullptr) {
    dots_context_ = MakeContext(pango_context_get_font_map(context_), CAIRO_HINT_STYLE_FULL, /*antialias=*/false);
  }
  return dots_context_;
}

PangoLayout* TextEngine::Layout(const Text& text, const FontState& font, bool dots) {
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

std::shared_ptr<PangoLayout> TextEngine::DotLayout(const Text& text, const FontState& font) {
  return std::shared_ptr<PangoLayout>(Layout(text, font, /*dots=*/true), g_object_unref);
}

cairo_scaled_font_t* TextEngine::DotFont(PangoFont* font) {
  if (auto known = dot_fonts_.find(font); known != dot_fonts_.end()) return known->second.second;
  PangoFontDescription* desc = pango_font_describe(font);
  PangoFont* dots = pango_font_map_load_font(pango_context_get_font_map(context_), DotsContext(), desc);
  pango_font_description_free(desc);
  cairo_scaled_font_t* scaled = dots != nullptr ? pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(dots)) : nullptr;
  // Both fonts are held, so that neither pointer is reused.
  dot_fonts_.emplace(static_cast<PangoFont*>(g_object_ref(font)), std::make_pair(dots, scaled));
  return scaled;
}

const std::vector<Text>& TextEngine::Families() {
  if (families_.empty()) {
    PangoFontFamily** list = nullptr;
    int count = 0;
    pango_font_map_list_families(pango_context_get_font_map(context_), &list, &count);
    for (int i = 0; i < count; ++i) families_.push_back(FromUtf8(pango_font_family_get_name(list[i])));
    g_free(list);
  }
  return families_;
}

void DrawText(cairo_t* cr, const Text& text, const FontState& font, PangoLayout* layout, double x_units,
              double y_units, double device_per_unit, double units_per_point, uint32_t color) {
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

int FontCountOfScreen() { return static_cast<int>(TextEngine::Get().Families().size()); }

Text FontOfScreen(int index) {
  const std::vector<Text>& families = TextEngine::Get().Families();
  if (index < 0 || index >= static_cast<int>(families.size())) throw RunTimeError(kSubscriptOutOfRange);
  return families[index];
}

}  // namespace kalvenor
