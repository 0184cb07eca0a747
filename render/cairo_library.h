// Cairo and fontconfig, loaded at the first call into them rather than when
// the program starts: a receipt printed on a dot printer from the font
// cache draws nothing they are needed for, and loading them and what they
// bring (pixman, X11's libraries, expat) would be most of its start.
//
// A file that calls them includes this header instead of cairo's: the
// names below then call through CairoLibrary(). A function not listed does
// not link in the program (it links neither library), which is how a new
// one gets added here.
#ifndef KALVENOR_RENDER_CAIRO_LIBRARY_H_
#define KALVENOR_RENDER_CAIRO_LIBRARY_H_

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

// Every function of the two libraries the program calls.
#define KALVENOR_CAIRO_FUNCTIONS(X) \
  X(cairo_create) X(cairo_destroy) X(cairo_fill) X(cairo_font_face_destroy) X(cairo_font_options_copy) \
  X(cairo_font_options_create) X(cairo_font_options_destroy) X(cairo_font_options_get_hint_metrics) \
  X(cairo_font_options_set_antialias) X(cairo_font_options_set_hint_metrics) \
  X(cairo_font_options_set_hint_style) X(cairo_font_options_set_subpixel_order) \
  X(cairo_format_stride_for_width) X(cairo_ft_font_face_create_for_pattern) X(cairo_get_source) \
  X(cairo_image_surface_create) X(cairo_image_surface_create_for_data) \
  X(cairo_image_surface_create_from_png_stream) X(cairo_image_surface_get_data) \
  X(cairo_image_surface_get_height) X(cairo_image_surface_get_stride) X(cairo_image_surface_get_width) \
  X(cairo_line_to) X(cairo_mask) X(cairo_matrix_multiply) X(cairo_move_to) X(cairo_paint) \
  X(cairo_pattern_create_for_surface) X(cairo_pattern_destroy) X(cairo_pattern_set_filter) \
  X(cairo_pdf_surface_create_for_stream) X(cairo_pdf_surface_set_metadata) \
  X(cairo_ps_surface_create_for_stream) X(cairo_ps_surface_dsc_comment) X(cairo_rectangle) X(cairo_restore) \
  X(cairo_save) X(cairo_scale) X(cairo_scaled_font_create) X(cairo_scaled_font_destroy) \
  X(cairo_scaled_font_get_font_face) X(cairo_scaled_font_get_font_matrix) \
  X(cairo_scaled_font_get_font_options) X(cairo_scaled_font_glyph_extents) X(cairo_scaled_font_reference) \
  X(cairo_set_antialias) X(cairo_set_font_face) X(cairo_set_font_matrix) X(cairo_set_font_options) \
  X(cairo_set_line_cap) X(cairo_set_line_width) X(cairo_set_operator) X(cairo_set_source_rgb) \
  X(cairo_set_source_rgba) X(cairo_set_source_surface) X(cairo_show_glyphs) X(cairo_show_text_glyphs) \
  X(cairo_status_to_string) X(cairo_stroke) X(cairo_surface_destroy) X(cairo_surface_finish) \
  X(cairo_surface_flush) X(cairo_surface_mark_dirty) \
  X(cairo_surface_set_device_offset) X(cairo_surface_status) X(cairo_surface_write_to_png_stream) \
  X(cairo_translate)
#define KALVENOR_FONTCONFIG_FUNCTIONS(X) \
  X(FcConfigBuildFonts) X(FcConfigCreate) X(FcConfigDestroy) X(FcConfigParseAndLoad) \
  X(FcConfigParseAndLoadFromMemory) X(FcConfigSetCurrent) X(FcNameParse) X(FcPatternDestroy)

namespace kalvenor {

// The libraries' functions, each pointer with its own declaration's type.
struct CairoFunctions {
#define KALVENOR_CAIRO_POINTER(name) decltype(&::name) name;
  KALVENOR_CAIRO_FUNCTIONS(KALVENOR_CAIRO_POINTER)
  KALVENOR_FONTCONFIG_FUNCTIONS(KALVENOR_CAIRO_POINTER)
#undef KALVENOR_CAIRO_POINTER
};

// The functions, cairo and fontconfig loaded at the first call. Raises
// "File not found" (the reason on standard error) when either cannot be.
const CairoFunctions& CairoLibrary();

}  // namespace kalvenor

#ifndef KALVENOR_CAIRO_LIBRARY_LOADER
#define FcConfigBuildFonts (::kalvenor::CairoLibrary().FcConfigBuildFonts)
#define FcConfigCreate (::kalvenor::CairoLibrary().FcConfigCreate)
#define FcConfigDestroy (::kalvenor::CairoLibrary().FcConfigDestroy)
#define FcConfigParseAndLoad (::kalvenor::CairoLibrary().FcConfigParseAndLoad)
#define FcConfigParseAndLoadFromMemory (::kalvenor::CairoLibrary().FcConfigParseAndLoadFromMemory)
#define FcConfigSetCurrent (::kalvenor::CairoLibrary().FcConfigSetCurrent)
#define FcNameParse (::kalvenor::CairoLibrary().FcNameParse)
#define FcPatternDestroy (::kalvenor::CairoLibrary().FcPatternDestroy)
#define cairo_create (::kalvenor::CairoLibrary().cairo_create)
#define cairo_destroy (::kalvenor::CairoLibrary().cairo_destroy)
#define cairo_fill (::kalvenor::CairoLibrary().cairo_fill)
#define cairo_font_face_destroy (::kalvenor::CairoLibrary().cairo_font_face_destroy)
#define cairo_font_options_copy (::kalvenor::CairoLibrary().cairo_font_options_copy)
#define cairo_font_options_create (::kalvenor::CairoLibrary().cairo_font_options_create)
#define cairo_font_options_destroy (::kalvenor::CairoLibrary().cairo_font_options_destroy)
#define cairo_font_options_get_hint_metrics (::kalvenor::CairoLibrary().cairo_font_options_get_hint_metrics)
#define cairo_font_options_set_antialias (::kalvenor::CairoLibrary().cairo_font_options_set_antialias)
#define cairo_font_options_set_hint_metrics (::kalvenor::CairoLibrary().cairo_font_options_set_hint_metrics)
#define cairo_font_options_set_hint_style (::kalvenor::CairoLibrary().cairo_font_options_set_hint_style)
#define cairo_font_options_set_subpixel_order (::kalvenor::CairoLibrary().cairo_font_options_set_subpixel_order)
#define cairo_format_stride_for_width (::kalvenor::CairoLibrary().cairo_format_stride_for_width)
#define cairo_ft_font_face_create_for_pattern (::kalvenor::CairoLibrary().cairo_ft_font_face_create_for_pattern)
#define cairo_get_source (::kalvenor::CairoLibrary().cairo_get_source)
#define cairo_image_surface_create (::kalvenor::CairoLibrary().cairo_image_surface_create)
#define cairo_image_surface_create_for_data (::kalvenor::CairoLibrary().cairo_image_surface_create_for_data)
#define cairo_image_surface_create_from_png_stream (::kalvenor::CairoLibrary().cairo_image_surface_create_from_png_stream)
#define cairo_image_surface_get_data (::kalvenor::CairoLibrary().cairo_image_surface_get_data)
#define cairo_image_surface_get_height (::kalvenor::CairoLibrary().cairo_image_surface_get_height)
#define cairo_image_surface_get_stride (::kalvenor::CairoLibrary().cairo_image_surface_get_stride)
#define cairo_image_surface_get_width (::kalvenor::CairoLibrary().cairo_image_surface_get_width)
#define cairo_line_to (::kalvenor::CairoLibrary().cairo_line_to)
#define cairo_mask (::kalvenor::CairoLibrary().cairo_mask)
#define cairo_matrix_multiply (::kalvenor::CairoLibrary().cairo_matrix_multiply)
#define cairo_move_to (::kalvenor::CairoLibrary().cairo_move_to)
#define cairo_paint (::kalvenor::CairoLibrary().cairo_paint)
#define cairo_pattern_create_for_surface (::kalvenor::CairoLibrary().cairo_pattern_create_for_surface)
#define cairo_pattern_destroy (::kalvenor::CairoLibrary().cairo_pattern_destroy)
#define cairo_pattern_set_filter (::kalvenor::CairoLibrary().cairo_pattern_set_filter)
#define cairo_pdf_surface_create_for_stream (::kalvenor::CairoLibrary().cairo_pdf_surface_create_for_stream)
#define cairo_pdf_surface_set_metadata (::kalvenor::CairoLibrary().cairo_pdf_surface_set_metadata)
#define cairo_ps_surface_create_for_stream (::kalvenor::CairoLibrary().cairo_ps_surface_create_for_stream)
#define cairo_ps_surface_dsc_comment (::kalvenor::CairoLibrary().cairo_ps_surface_dsc_comment)
#define cairo_rectangle (::kalvenor::CairoLibrary().cairo_rectangle)
#define cairo_restore (::kalvenor::CairoLibrary().cairo_restore)
#define cairo_save (::kalvenor::CairoLibrary().cairo_save)
#define cairo_scale (::kalvenor::CairoLibrary().cairo_scale)
#define cairo_scaled_font_create (::kalvenor::CairoLibrary().cairo_scaled_font_create)
#define cairo_scaled_font_destroy (::kalvenor::CairoLibrary().cairo_scaled_font_destroy)
#define cairo_scaled_font_get_font_face (::kalvenor::CairoLibrary().cairo_scaled_font_get_font_face)
#define cairo_scaled_font_get_font_matrix (::kalvenor::CairoLibrary().cairo_scaled_font_get_font_matrix)
#define cairo_scaled_font_get_font_options (::kalvenor::CairoLibrary().cairo_scaled_font_get_font_options)
#define cairo_scaled_font_glyph_extents (::kalvenor::CairoLibrary().cairo_scaled_font_glyph_extents)
#define cairo_scaled_font_reference (::kalvenor::CairoLibrary().cairo_scaled_font_reference)
#define cairo_set_antialias (::kalvenor::CairoLibrary().cairo_set_antialias)
#define cairo_set_font_face (::kalvenor::CairoLibrary().cairo_set_font_face)
#define cairo_set_font_matrix (::kalvenor::CairoLibrary().cairo_set_font_matrix)
#define cairo_set_font_options (::kalvenor::CairoLibrary().cairo_set_font_options)
#define cairo_set_line_cap (::kalvenor::CairoLibrary().cairo_set_line_cap)
#define cairo_set_line_width (::kalvenor::CairoLibrary().cairo_set_line_width)
#define cairo_set_operator (::kalvenor::CairoLibrary().cairo_set_operator)
#define cairo_set_source_rgb (::kalvenor::CairoLibrary().cairo_set_source_rgb)
#define cairo_set_source_rgba (::kalvenor::CairoLibrary().cairo_set_source_rgba)
#define cairo_set_source_surface (::kalvenor::CairoLibrary().cairo_set_source_surface)
#define cairo_show_glyphs (::kalvenor::CairoLibrary().cairo_show_glyphs)
#define cairo_show_text_glyphs (::kalvenor::CairoLibrary().cairo_show_text_glyphs)
#define cairo_status_to_string (::kalvenor::CairoLibrary().cairo_status_to_string)
#define cairo_stroke (::kalvenor::CairoLibrary().cairo_stroke)
#define cairo_surface_destroy (::kalvenor::CairoLibrary().cairo_surface_destroy)
#define cairo_surface_finish (::kalvenor::CairoLibrary().cairo_surface_finish)
#define cairo_surface_flush (::kalvenor::CairoLibrary().cairo_surface_flush)
#define cairo_surface_mark_dirty (::kalvenor::CairoLibrary().cairo_surface_mark_dirty)
#define cairo_surface_set_device_offset (::kalvenor::CairoLibrary().cairo_surface_set_device_offset)
#define cairo_surface_status (::kalvenor::CairoLibrary().cairo_surface_status)
#define cairo_surface_write_to_png_stream (::kalvenor::CairoLibrary().cairo_surface_write_to_png_stream)
#define cairo_translate (::kalvenor::CairoLibrary().cairo_translate)
#endif  // KALVENOR_CAIRO_LIBRARY_LOADER

#endif  // KALVENOR_RENDER_CAIRO_LIBRARY_H_
