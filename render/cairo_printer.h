// The cairo printer (one roll-paper page per document) and the font
// configuration and cache its text is laid out with. The off-screen canvases are in
// render/canvas.h.
#ifndef KALVENOR_RENDER_CAIRO_PRINTER_H_
#define KALVENOR_RENDER_CAIRO_PRINTER_H_

#include <functional>
#include <memory>
#include <string>

#include "printers/printers.h"
#include "base/trace.h"
#include "render/printer.h"

namespace kalvenor {

// Makes the program's own fontconfig configuration current before the first
// text is laid out: the system's font folders and caches, the generic
// families, and the font aliases of `conf_path` (a fontconfig file; none when
// empty). Returns what fontconfig could not do, and what was used instead;
// empty when all went well. `own` (when given) says whether the program's
// configuration is the current one.
std::string LoadFontConfiguration(const std::string& conf_path, bool* own = nullptr);

// Fonts are resolved from now on under LoadFontConfiguration(conf_path), at
// the first text that needs it, and kept in the persistent cache in
// `cache_folder` (none when empty). `warn` gets what went wrong.
void ConfigureFonts(const std::string& conf_path, const std::string& cache_folder,
                    std::function<void(const std::string&)> warn);

// A stamp of the configuration LoadFontConfiguration(conf_path) would make:
// equal stamps resolve font names alike, given the same font files.
std::string FontConfigurationStamp(const std::string& conf_path);

// The printer surface over `printers`. Every ended document with output is
// rendered as one PDF page, 80 mm wide unless the printer states its media
// width, as long as its content, and handed to the current printer.
// `trace` may be null.
std::unique_ptr<Printer> MakeCairoPrinter(std::unique_ptr<Printers> printers, Trace* trace);

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_CAIRO_PRINTER_H_
