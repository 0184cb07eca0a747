// PangoText over pango and fontconfig: linked into the text module
// kalvenor-text.so, and directly into the tests and the barcode window.
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-font.h>

#include <cmath>
#include <map>

#include "render/drawing-cairo.h"
#include "render/pango_text.h"

namespace kalvenor {

struct TextLayout {
  PangoLayout* layout;
};

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

PangoFontDescription* Description(const FontState& font) {
  PangoFontDescription* desc = pango_font_description_new();
  std::string family = ToUtf8(font.Name);
  pango_font_description_set_family(desc, family.c_str());
  pango_font_description_set_size(desc, static_cast<gint>(std::lround(font.Size * PANGO_SCALE)));
  pango_font_description_set_weight(desc, font.Bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(desc, font.Italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return desc;
}

TextBox BoxOf(const PangoRectangle& r) { return TextBox{r.x, r.y, r.width, r.height}; }

// The fontconfig pattern of a font as text, without what drawing does not
// read (the character set and languages are most of it), and its file.
std::string PatternText(FcPattern* pattern, std::string* file, int* index) {
  FcPattern* copy = FcPatternDuplicate(pattern);
  FcPatternDel(copy, FC_CHARSET);
  FcPatternDel(copy, FC_LANG);
  FcChar8* text = FcNameUnparse(copy);
  FcPatternDestroy(copy);
  std::string unparsed = text != nullptr ? reinterpret_cast<char*>(text) : "";
  free(text);
  FcChar8* path = nullptr;
  if (FcPatternGetString(pattern, FC_FILE, 0, &path) == FcResultMatch) *file = reinterpret_cast<char*>(path);
  if (FcPatternGetInteger(pattern, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
  return unparsed;
}

// The scale factors of the pattern's matrix, as pango takes them out of the
// size it shapes at.
void MatrixScale(FcPattern* pattern, double* x_scale, double* y_scale) {
  FcMatrix m;
  FcMatrixInit(&m);
  FcMatrix* each = nullptr;
  for (int i = 0; FcPatternGetMatrix(pattern, FC_MATRIX, i, &each) == FcResultMatch; ++i) FcMatrixMultiply(&m, &m, each);
  const double major = std::hypot(m.xx, m.yx);
  *x_scale = major;
  *y_scale = major != 0 ? std::fabs(m.xx * -m.yy + m.yx * m.xy) / major : 0;
}

std::array<double, 4> MatrixOf(cairo_scaled_font_t* font) {
  cairo_matrix_t m;
  cairo_scaled_font_get_font_matrix(font, &m);
  return {m.xx, m.yx, m.xy, m.yy};
}

std::array<int, 4> OptionsOf(cairo_scaled_font_t* font) {
  FontOptionsPtr options(cairo_font_options_create());
  cairo_scaled_font_get_font_options(font, options.get());
  return {cairo_font_options_get_antialias(options.get()), cairo_font_options_get_subpixel_order(options.get()),
          cairo_font_options_get_hint_style(options.get()), cairo_font_options_get_hint_metrics(options.get())};
}

class Pango : public PangoText {
 public:
  std::shared_ptr<TextLayout> Layout(const Text& text, const FontState& font, bool dots) override {
    PangoLayout* layout = pango_layout_new(dots ? DotsContext() : Context());
    std::string utf8 = ToUtf8(text);
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    PangoFontDescription* desc = Description(font);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    if (font.Underline) {
      PangoAttrList* attrs = pango_attr_list_new();
      pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
      pango_layout_set_attributes(layout, attrs);
      pango_attr_list_unref(attrs);
    }
    return std::shared_ptr<TextLayout>(new TextLayout{layout}, [](TextLayout* held) {
      g_object_unref(held->layout);
      delete held;
    });
  }

  TextBox Logical(const TextLayout& layout) override {
    PangoRectangle logical;
    pango_layout_get_extents(layout.layout, nullptr, &logical);
    return BoxOf(logical);
  }

  TextBox Ink(const TextLayout& layout) override {
    PangoRectangle ink;
    pango_layout_get_extents(layout.layout, &ink, nullptr);
    return BoxOf(ink);
  }

  void Show(cairo_t* cr, const TextLayout& layout) override { pango_cairo_show_layout(cr, layout.layout); }

  bool Stampable(const TextLayout& layout) override {
    if (pango_layout_get_attributes(layout.layout) != nullptr) return false;
    for (GSList* l = pango_layout_get_lines_readonly(layout.layout); l != nullptr; l = l->next) {
      for (GSList* r = static_cast<PangoLayoutLine*>(l->data)->runs; r != nullptr; r = r->next) {
        const PangoGlyphString* glyphs = static_cast<PangoGlyphItem*>(r->data)->glyphs;
        for (int i = 0; i < glyphs->num_glyphs; ++i) {
          PangoGlyph g = glyphs->glyphs[i].glyph;
          if ((g & PANGO_GLYPH_UNKNOWN_FLAG) != 0 && g != (0x20 | PANGO_GLYPH_UNKNOWN_FLAG)) return false;
        }
      }
    }
    return true;
  }

  void PlaceGlyphs(const TextLayout& layout, double tx, double ty, double scale,
                   std::vector<DotRenderer::PlacedGlyph>* glyphs) override {
    // The positions pango's cairo renderer gives each glyph, in the same
    // arithmetic, so that every glyph lands on the dot cairo would put it on.
    PangoLayoutIter* iter = pango_layout_get_iter(layout.layout);
    do {
      PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
      PangoRectangle logical;
      pango_layout_iter_get_line_extents(iter, nullptr, &logical);
      const int baseline = pango_layout_iter_get_baseline(iter);
      int x_off = 0;
      for (GSList* r = line != nullptr ? line->runs : nullptr; r != nullptr; r = r->next) {
        const auto* run = static_cast<PangoGlyphItem*>(r->data);
        cairo_scaled_font_t* font = DotFont(run->item->analysis.font).second;
        const double base_x = static_cast<double>(logical.x + x_off) / PANGO_SCALE;
        const double base_y = static_cast<double>(baseline) / PANGO_SCALE;
        int x_position = 0;
        for (int i = 0; i < run->glyphs->num_glyphs; ++i) {
          const PangoGlyphInfo& info = run->glyphs->glyphs[i];
          if (font != nullptr && info.glyph != PANGO_GLYPH_EMPTY && (info.glyph & PANGO_GLYPH_UNKNOWN_FLAG) == 0) {
            const double cx = base_x + static_cast<double>(x_position + info.geometry.x_offset) / PANGO_SCALE;
            const double cy = info.geometry.y_offset == 0
                                  ? base_y
                                  : base_y + static_cast<double>(info.geometry.y_offset) / PANGO_SCALE;
            glyphs->push_back(DotRenderer::PlacedGlyph{font, info.glyph, DotRenderer::DotOf(scale * cx + tx),
                                                       DotRenderer::DotOf(scale * cy + ty)});
          }
          x_position += info.geometry.width;
        }
        x_off += pango_glyph_string_get_width(run->glyphs);
      }
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
  }

  std::optional<ResolvedFont> Resolve(const FontState& font, std::vector<std::string>* watched) override {
    PangoContext* context = Context();
    PangoFontDescription* desc = Description(font);
    PangoFont* measuring = pango_font_map_load_font(pango_context_get_font_map(context), context, desc);
    pango_font_description_free(desc);
    if (measuring == nullptr) return std::nullopt;
    std::optional<ResolvedFont> resolved;
    if (PANGO_IS_FC_FONT(measuring)) {
      auto [dot_font, dots] = DotFont(measuring);
      cairo_scaled_font_t* scaled = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(measuring));
      if (dots != nullptr && scaled != nullptr && PANGO_IS_FC_FONT(dot_font)) {
        resolved.emplace();
        std::string file, dot_file;
        int dot_index = 0;
        resolved->pattern = PatternText(pango_fc_font_get_pattern(PANGO_FC_FONT(measuring)), &file, &resolved->index);
        resolved->dot_pattern = PatternText(pango_fc_font_get_pattern(PANGO_FC_FONT(dot_font)), &dot_file, &dot_index);
        resolved->file = StampOf(file);
        resolved->matrix = MatrixOf(scaled);
        resolved->dot_matrix = MatrixOf(dots);
        resolved->options = OptionsOf(scaled);
        resolved->dot_options = OptionsOf(dots);
        MatrixScale(pango_fc_font_get_pattern(PANGO_FC_FONT(measuring)), &resolved->x_scale, &resolved->y_scale);
        // Both must be the same face of a file that is there.
        if (file.empty() || dot_file != file || dot_index != resolved->index || resolved->file.size < 0) {
          resolved.reset();
        }
      }
    }
    g_object_unref(measuring);
    for (FcStrList* list : {FcConfigGetConfigFiles(nullptr), FcConfigGetFontDirs(nullptr)}) {
      while (FcChar8* path = list != nullptr ? FcStrListNext(list) : nullptr) {
        watched->push_back(reinterpret_cast<char*>(path));
      }
      if (list != nullptr) FcStrListDone(list);
    }
    return resolved;
  }

  std::vector<Text> Families() override {
    std::vector<Text> families;
    PangoFontFamily** list = nullptr;
    int count = 0;
    pango_font_map_list_families(pango_context_get_font_map(Context()), &list, &count);
    for (int i = 0; i < count; ++i) families.push_back(FromUtf8(pango_font_family_get_name(list[i])));
    g_free(list);
    return families;
  }

 private:
  PangoContext* Context() {
    if (context_ == nullptr) {
      context_ = MakeContext(pango_cairo_font_map_get_default(), CAIRO_HINT_STYLE_NONE, /*antialias=*/true);
    }
    return context_;
  }

  PangoContext* DotsContext() {
    if (dots_context_ == nullptr) {
      dots_context_ = MakeContext(pango_context_get_font_map(Context()), CAIRO_HINT_STYLE_FULL, /*antialias=*/false);
    }
    return dots_context_;
  }

  // The same face and size as `font` (of a measuring layout), outlined for
  // a printer's dot grid: hinted, without grey edges. Null when no such font.
  std::pair<PangoFont*, cairo_scaled_font_t*> DotFont(PangoFont* font) {
    if (auto known = dot_fonts_.find(font); known != dot_fonts_.end()) return known->second;
    PangoFontDescription* desc = pango_font_describe(font);
    PangoFont* dots = pango_font_map_load_font(pango_context_get_font_map(Context()), DotsContext(), desc);
    pango_font_description_free(desc);
    cairo_scaled_font_t* scaled = dots != nullptr ? pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(dots)) : nullptr;
    // Both fonts are held, so that neither pointer is reused.
    return dot_fonts_.emplace(static_cast<PangoFont*>(g_object_ref(font)), std::make_pair(dots, scaled)).first->second;
  }

  PangoContext* context_ = nullptr;
  PangoContext* dots_context_ = nullptr;
  std::map<PangoFont*, std::pair<PangoFont*, cairo_scaled_font_t*>> dot_fonts_;
};

}  // namespace

std::unique_ptr<PangoText> MakePangoText(std::string* /*error*/) { return std::make_unique<Pango>(); }

}  // namespace kalvenor
