#include "render/shaped_text-hb.h"

#include <hb.h>

#include <cmath>

namespace kalvenor {
namespace {

// Pango's glyph for characters it draws as nothing.
constexpr hb_codepoint_t kEmptyGlyph = 0x0FFFFFFF;

// True for the characters pango gives no font of their own, or draws
// otherwise than as the font's glyph: controls, formats, surrogates, line
// and paragraph separators, variation selectors.
bool NeedsPango(hb_unicode_funcs_t* funcs, hb_codepoint_t c) {
  switch (hb_unicode_general_category(funcs, c)) {
    case HB_UNICODE_GENERAL_CATEGORY_CONTROL:
    case HB_UNICODE_GENERAL_CATEGORY_FORMAT:
    case HB_UNICODE_GENERAL_CATEGORY_SURROGATE:
    case HB_UNICODE_GENERAL_CATEGORY_UNASSIGNED:
    case HB_UNICODE_GENERAL_CATEGORY_PRIVATE_USE:
    case HB_UNICODE_GENERAL_CATEGORY_LINE_SEPARATOR:
    case HB_UNICODE_GENERAL_CATEGORY_PARAGRAPH_SEPARATOR:
      return true;
    default:
      return c >= 0xFE00 && c <= 0xFE0F;
  }
}

}  // namespace

ShapingFaces::~ShapingFaces() {
  for (const auto& [key, face] : faces_) hb_face_destroy(face);
}

hb_face_t* ShapingFaces::Face(const std::string& path, int index) {
  auto [known, fresh] = faces_.try_emplace({path, index}, nullptr);
  if (!fresh) return known->second;
  hb_blob_t* blob = hb_blob_create_from_file_or_fail(path.c_str());
  if (blob == nullptr) return nullptr;
  hb_face_t* face = hb_face_create(blob, static_cast<unsigned>(index));
  hb_blob_destroy(blob);
  if (hb_face_get_glyph_count(face) == 0) {
    hb_face_destroy(face);
    return nullptr;
  }
  return known->second = face;
}

std::unique_ptr<ShapingFont> ShapingFont::Open(const ResolvedFont& resolved, int pango_size, ShapingFaces& faces) {
  hb_face_t* face = faces.Face(resolved.file.path, resolved.index);
  if (face == nullptr) return nullptr;
  std::unique_ptr<ShapingFont> font(new ShapingFont);
  font->font_ = hb_font_create(face);
  hb_font_set_scale(font->font_, static_cast<int>(pango_size * resolved.x_scale),
                    static_cast<int>(pango_size * resolved.y_scale));
  hb_font_extents_t extents;
  hb_font_get_h_extents(font->font_, &extents);
  font->ascent_ = extents.ascender;
  font->descent_ = -extents.descender;
  font->buffer_ = hb_buffer_create();
  return font;
}

ShapingFont::~ShapingFont() {
  hb_buffer_destroy(buffer_);
  hb_font_destroy(font_);
}

bool ShapingFont::Shape(const Text& text, ShapedText* shaped) {
  // One run, as pango itemises it: characters of no script join the Latin
  // ones, and a text of no script at all is shaped as such.
  hb_unicode_funcs_t* funcs = hb_unicode_funcs_get_default();
  hb_script_t script = HB_SCRIPT_COMMON;
  for (char16_t c : text) {
    if (NeedsPango(funcs, c)) return false;
    hb_script_t s = hb_unicode_script(funcs, c);
    if (s == HB_SCRIPT_LATIN) {
      script = s;
    } else if (s != HB_SCRIPT_COMMON && s != HB_SCRIPT_INHERITED) {
      return false;
    }
  }
  shaped->utf8 = ToUtf8(text);
  hb_buffer_clear_contents(buffer_);
  hb_buffer_set_invisible_glyph(buffer_, kEmptyGlyph);
  const int length = static_cast<int>(shaped->utf8.size());
  hb_buffer_add_utf8(buffer_, shaped->utf8.data(), length, 0, length);
  hb_buffer_set_direction(buffer_, HB_DIRECTION_LTR);
  hb_buffer_set_script(buffer_, script);
  hb_buffer_set_language(buffer_, hb_language_from_string("c", -1));
  hb_buffer_set_flags(buffer_, static_cast<hb_buffer_flags_t>(HB_BUFFER_FLAG_BOT | HB_BUFFER_FLAG_EOT));
  hb_shape(font_, buffer_, nullptr, 0);
  unsigned count = 0;
  const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer_, &count);
  const hb_glyph_position_t* position = hb_buffer_get_glyph_positions(buffer_, &count);
  shaped->glyphs.clear();
  int x = 0;
  for (unsigned i = 0; i < count; ++i) {
    // A character the font lacks goes to another font in pango.
    if (info[i].codepoint == 0 || info[i].codepoint == kEmptyGlyph) return false;
    shaped->glyphs.push_back({info[i].codepoint, x + position[i].x_offset, -position[i].y_offset, info[i].cluster});
    x += position[i].x_advance;
  }
  shaped->width = x;
  shaped->height = ascent_ + descent_;
  shaped->baseline = ascent_;
  return true;
}

}  // namespace kalvenor
