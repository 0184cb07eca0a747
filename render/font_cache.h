// The persistent font cache: what the font configuration resolved each font
// request to, and the one-bit glyph images of each font on a printer's dot
// grid. A job with a warm cache lays out and prints its text from these and
// the font files alone, without reading the font configuration.
//
// Files live in one folder of the user's (see CacheFolder). Each is written
// whole through a temporary file and a rename, carries a checksum and the
// key it was made for, and is used only when both still hold: a damaged,
// foreign or stale file is ignored and rebuilt, never trusted.
#ifndef KALVENOR_RENDER_FONT_CACHE_H_
#define KALVENOR_RENDER_FONT_CACHE_H_

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kalvenor {

// A file as the cache knows it: a change of size or modification time
// means it was replaced. Size -1 when it is missing.
struct FileStamp {
  std::string path;
  int64_t size = -1;
  int64_t mtime_ns = -1;
  bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);

// What a font request resolved to.
struct ResolvedFont {
  std::string pattern;      // the font, as fontconfig names it (file, index, options)
  std::string dot_pattern;  // the same font outlined for a printer's dot grid
  FileStamp file;
  int index = 0;                       // face in the file
  std::array<double, 4> matrix{};      // font matrix xx, yx, xy, yy, in points
  std::array<double, 4> dot_matrix{};
  // The scale factors of the face's own matrix (a synthetic oblique's shear
  // leaves both at 1), which pango divides out of the size when it shapes.
  double x_scale = 1, y_scale = 1;
  // Cairo's font options of each: antialias, subpixel order, hint style,
  // hint metrics.
  std::array<int, 4> options{};
  std::array<int, 4> dot_options{};
};

// One glyph's image, its box in dots from the glyph's origin: one bit a dot
// on a printer's dot grid, or each pixel's cover (0 to 255) when `grey`.
struct GlyphBits {
  int left = 0, top = 0, width = 0, height = 0;
  bool grey = false;
  std::vector<uint8_t> bits;  // rows of RowBytes(), leftmost dot first
  // A grey image's outline box as cairo bounds it, in 1/256 of a pixel
  // from the origin: x0, y0, x1, y1. Cairo adds the covers of a text's
  // glyphs only where these boxes meet.
  std::array<int32_t, 4> outline{};
  size_t RowBytes() const { return grey ? static_cast<size_t>(width) : static_cast<size_t>(width + 7) / 8; }
};

// The folder of the cache: $XDG_CACHE_HOME/kalvenor, else
// $HOME/.cache/kalvenor (absolute paths only); empty when neither is set.
std::string CacheFolder(const std::function<std::optional<std::string>(const std::string&)>& env);

class FontCache {
 public:
  // A cache in `folder` (none when empty) for a program of `version`, with
  // fonts resolved under the configuration `settings` describes (its text,
  // not its files: they are watched through the stamps given to Add).
  FontCache(std::string folder, std::string version, std::string settings);
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
  ~FontCache();

  // Why the folder is not used (a symlink, not a folder of this user, not
  // creatable); empty when it is, or when there is none.
  const std::string& problem() const { return problem_; }

  // The font `request` resolved to, if a valid entry says so: made under the
  // same settings, with its font file and every watched file unchanged.
  const ResolvedFont* Find(const std::string& request);

  // Keeps `font` for `request`, valid while the files of `watched` (the font
  // configuration's files and font folders) stay as they are now.
  void Add(const std::string& request, const ResolvedFont& font, const std::vector<std::string>& watched);

  // The kept glyph images of the font of `strike` (its full key: font,
  // size and dots per point), read from the folder at the first ask.
  std::map<uint32_t, GlyphBits>& Glyphs(const std::string& strike);
  // Marks `strike`'s images as grown; Save writes them.
  void Grew(const std::string& strike);

  // Writes what grew since the last Save. A folder that cannot take it
  // (full, read-only) leaves the files as they were.
  void Save();

 private:
  struct Strike {
    std::map<uint32_t, GlyphBits> glyphs;
    bool grew = false;
  };

  bool Usable();
  std::string Read(const std::string& name);
  bool Write(const std::string& name, const std::string& key, const std::string& body);
  void LoadFonts();
  std::string FontsBody() const;
  bool ParseFonts(const std::string& body);
  std::map<uint32_t, GlyphBits> ReadGlyphs(const std::string& strike);

  std::string folder_, version_, settings_, problem_;
  int dir_ = -1;          // the folder, opened once; -2 once found unusable
  bool fonts_loaded_ = false, fonts_grew_ = false;
  std::map<std::string, ResolvedFont> fonts_;
  std::vector<FileStamp> watched_;
  std::map<std::string, FileStamp> font_files_;  // font files as this run found them
  std::map<std::string, Strike> strikes_;
};

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_FONT_CACHE_H_
