#include "render/font_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "base/posix_file.h"

namespace kalvenor {
namespace {

constexpr std::string_view kMagic = "KALVENOR-FONT-CACHE\n";
constexpr char kFontsFile[] = "fonts";
constexpr long kMaxFileBytes = 64L << 20;
constexpr int kMaxGlyphSide = 4096;

uint64_t Fnv1a(std::string_view bytes) {
  uint64_t hash = 14695981039346656037u;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211u;
  return hash;
}

// Little-endian fields: numbers in 8 bytes, strings as a length and bytes.
class Writer {
 public:
  void U64(uint64_t v) {
    for (int i = 0; i < 8; ++i) out_.push_back(static_cast<char>(v >> (8 * i)));
  }
  void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
  void F64(double v) { U64(std::bit_cast<uint64_t>(v)); }
  void Str(std::string_view s) {
    U64(s.size());
    out_.append(s);
  }
  void Stamp(const FileStamp& stamp) {
    Str(stamp.path);
    I64(stamp.size);
    I64(stamp.mtime_ns);
  }
  std::string& out() { return out_; }

 private:
  std::string out_;
};

// Reads what Writer wrote; any read past the end or out of bounds makes
// ok() false for good, and every later read returns zero.
class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return ok_ && at_ == in_.size(); }
  uint64_t U64() {
    if (!ok_ || in_.size() - at_ < 8) return Fail();
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(static_cast<unsigned char>(in_[at_ + i])) << (8 * i);
    at_ += 8;
    return v;
  }
  int64_t I64() { return static_cast<int64_t>(U64()); }
  double F64() { return std::bit_cast<double>(U64()); }
  int Int(int64_t low, int64_t high) {
    int64_t v = I64();
    if (v < low || v > high) return static_cast<int>(Fail());
    return static_cast<int>(v);
  }
  std::string Str() {
    uint64_t n = U64();
    if (!ok_ || n > in_.size() - at_) return Fail(), std::string();
    std::string s(in_.substr(at_, n));
    at_ += n;
    return s;
  }
  FileStamp Stamp() {
    FileStamp stamp;
    stamp.path = Str();
    stamp.size = I64();
    stamp.mtime_ns = I64();
    return stamp;
  }

 private:
  uint64_t Fail() {
    ok_ = false;
    return 0;
  }
  std::string_view in_;
  size_t at_ = 0;
  bool ok_ = true;
};

// The body of a cache file made for `version` and `key`: what follows
// them, or nothing when the file is damaged or was made for another.
std::string_view BodyOf(std::string_view file, const std::string& version, const std::string& key) {
  if (!file.starts_with(kMagic) || file.size() < kMagic.size() + 8) return {};
  std::string_view rest = file.substr(kMagic.size());
  Reader checksum(rest.substr(0, 8));
  if (checksum.U64() != Fnv1a(rest.substr(8))) return {};
  Reader head(rest.substr(8));
  if (head.Str() != version || head.Str() != key || !head.ok()) return {};
  const size_t used = 16 + version.size() + 8 + key.size();
  return rest.substr(std::min(rest.size(), used));
}

std::string GlyphsFile(const std::string& strike) {
  char name[32];
  std::snprintf(name, sizeof name, "glyphs-%016llx", static_cast<unsigned long long>(Fnv1a(strike)));
  return name;
}

}  // namespace

FileStamp StampOf(const std::string& path) {
  FileStamp stamp{path, -1, -1};
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    stamp.size = st.st_size;
    stamp.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  }
  return stamp;
}

std::string CacheFolder(const std::function<std::optional<std::string>(const std::string&)>& env) {
  if (auto xdg = env("XDG_CACHE_HOME"); xdg && xdg->starts_with("/")) return *xdg + "/kalvenor";
  if (auto home = env("HOME"); home && home->starts_with("/")) return *home + "/.cache/kalvenor";
  return "";
}

FontCache::FontCache(std::string folder, std::string version, std::string settings)
    : folder_(std::move(folder)), version_(std::move(version)), settings_(std::move(settings)) {}

FontCache::~FontCache() {
  if (dir_ >= 0) close(dir_);
}

// The folder and its parent are made private to the user. A folder that
// is a symlink, not a folder, or someone else's is not used: the cache
// decides what is printed, so only the user's own files may feed it.
bool FontCache::Usable() {
  if (dir_ >= 0) return true;
  if (dir_ == -2 || folder_.empty()) return false;
  dir_ = -2;
  mkdir(folder_.substr(0, folder_.rfind('/')).c_str(), 0700);
  if (mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) {
    problem_ = folder_ + " cannot be made (" + std::strerror(errno) + ")";
    return false;
  }
  int fd = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    problem_ = folder_ + " is not a folder (" + std::strerror(errno) + ")";
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_uid != geteuid()) {
    close(fd);
    problem_ = folder_ + " belongs to another user";
    return false;
  }
  dir_ = fd;
  return true;
}

std::string FontCache::Read(const std::string& name) {
  std::string bytes;
  int err = 0;
  if (!Usable() || ReadOrdinaryFileAt(dir_, name, O_NOFOLLOW, kMaxFileBytes, &bytes, &err) != ReadStatus::kOk) {
    return "";
  }
  return bytes;
}

bool FontCache::Write(const std::string& name, const std::string& key, const std::string& body) {
  if (!Usable()) return false;
  Writer head;
  head.Str(version_);
  head.Str(key);
  std::string rest = head.out() + body;
  Writer checksum;
  checksum.U64(Fnv1a(rest));
  static unsigned counter = 0;
  // Named as RemoveStaleTemporaryFiles knows them, so that a job killed
  // mid-write leaves nothing for long.
  const std::string temp = ".kalvenor-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + "-" + name;
  int fd = openat(dir_, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool written = WriteAll(fd, kMagic) && WriteAll(fd, checksum.out()) && WriteAll(fd, rest);
  written = close(fd) == 0 && written;
  if (written && renameat(dir_, temp.c_str(), dir_, name.c_str()) == 0) return true;
  unlinkat(dir_, temp.c_str(), 0);
  return false;
}

std::string FontCache::FontsBody() const {
  Writer w;
  w.U64(watched_.size());
  for (const FileStamp& stamp : watched_) w.Stamp(stamp);
  w.U64(fonts_.size());
  for (const auto& [request, font] : fonts_) {
    w.Str(request);
    w.Str(font.pattern);
    w.Str(font.dot_pattern);
    w.Stamp(font.file);
    w.I64(font.index);
    for (double v : font.matrix) w.F64(v);
    for (double v : font.dot_matrix) w.F64(v);
    for (int v : font.options) w.I64(v);
    for (int v : font.dot_options) w.I64(v);
    w.F64(font.x_scale);
    w.F64(font.y_scale);
  }
  return w.out();
}

// Takes the entries of `body` when its watched files are as they are now
// and agree with those already known.
bool FontCache::ParseFonts(const std::string& body) {
  Reader r(body);
  std::vector<FileStamp> watched(std::min<uint64_t>(r.U64(), body.size() / 24));
  for (FileStamp& stamp : watched) stamp = r.Stamp();
  std::map<std::string, ResolvedFont> fonts;
  for (uint64_t n = r.U64(); r.ok() && n > 0; --n) {
    std::string request = r.Str();
    ResolvedFont font;
    font.pattern = r.Str();
    font.dot_pattern = r.Str();
    font.file = r.Stamp();
    font.index = r.Int(0, 0xFFFF);
    for (double& v : font.matrix) v = r.F64();
    for (double& v : font.dot_matrix) v = r.F64();
    for (int& v : font.options) v = r.Int(0, 16);
    for (int& v : font.dot_options) v = r.Int(0, 16);
    font.x_scale = r.F64();
    font.y_scale = r.F64();
    fonts.emplace(std::move(request), std::move(font));
  }
  if (!r.AtEnd()) return false;
  if (!watched_.empty() && watched != watched_) return false;
  for (const FileStamp& stamp : watched) {
    if (StampOf(stamp.path) != stamp) return false;
  }
  watched_ = std::move(watched);
  fonts_.merge(fonts);
  return true;
}

void FontCache::LoadFonts() {
  if (fonts_loaded_) return;
  fonts_loaded_ = true;
  ParseFonts(std::string(BodyOf(Read(kFontsFile), version_, settings_)));
}

const ResolvedFont* FontCache::Find(const std::string& request) {
  LoadFonts();
  auto found = fonts_.find(request);
  if (found == fonts_.end()) return nullptr;
  const FileStamp& file = found->second.file;
  auto [now, fresh] = font_files_.try_emplace(file.path);
  if (fresh) now->second = StampOf(file.path);
  return now->second == file ? &found->second : nullptr;
}

void FontCache::Add(const std::string& request, const ResolvedFont& font, const std::vector<std::string>& watched) {
  LoadFonts();
  std::vector<FileStamp> stamps;
  for (const std::string& path : watched) stamps.push_back(StampOf(path));
  if (stamps != watched_) fonts_.clear();  // made under other files: none of it holds
  watched_ = std::move(stamps);
  fonts_[request] = font;
  font_files_[font.file.path] = StampOf(font.file.path);
  fonts_grew_ = true;
}

std::map<uint32_t, GlyphBits>& FontCache::Glyphs(const std::string& strike) {
  auto [it, fresh] = strikes_.try_emplace(strike);
  if (fresh) it->second.glyphs = ReadGlyphs(strike);
  return it->second.glyphs;
}

std::map<uint32_t, GlyphBits> FontCache::ReadGlyphs(const std::string& strike) {
  const std::string file = Read(GlyphsFile(strike));
  Reader r(BodyOf(file, version_, strike));
  std::map<uint32_t, GlyphBits> glyphs;
  for (uint64_t n = r.U64(); r.ok() && n > 0; --n) {
    const auto index = static_cast<uint32_t>(r.Int(0, INT32_MAX));
    GlyphBits g;
    g.left = r.Int(-kMaxGlyphSide, kMaxGlyphSide);
    g.top = r.Int(-kMaxGlyphSide, kMaxGlyphSide);
    g.width = r.Int(0, kMaxGlyphSide);
    g.height = r.Int(0, kMaxGlyphSide);
    g.grey = r.Int(0, 1) == 1;
    std::string bits = r.Str();
    if (bits.size() != g.RowBytes() * g.height) break;
    g.bits.assign(bits.begin(), bits.end());
    if (g.grey) {
      for (int32_t& v : g.outline) v = r.Int(-256 * kMaxGlyphSide, 256 * kMaxGlyphSide);
    }
    glyphs.emplace(index, std::move(g));
  }
  if (!r.AtEnd()) glyphs.clear();
  return glyphs;
}

void FontCache::Grew(const std::string& strike) { strikes_[strike].grew = true; }

void FontCache::Save() {
  const bool grew = fonts_grew_ || std::any_of(strikes_.begin(), strikes_.end(),
                                               [](const auto& strike) { return strike.second.grew; });
  if (!grew || !Usable()) return;
  if (fonts_grew_) {
    fonts_grew_ = false;
    // Another job may have written entries meanwhile: they are kept.
    ParseFonts(std::string(BodyOf(Read(kFontsFile), version_, settings_)));
    Write(kFontsFile, settings_, FontsBody());
  }
  for (auto& [key, strike] : strikes_) {
    if (!strike.grew) continue;
    strike.grew = false;
    // Another job may have kept glyphs of the same font meanwhile: kept too.
    strike.glyphs.merge(ReadGlyphs(key));
    Writer w;
    w.U64(strike.glyphs.size());
    for (const auto& [index, g] : strike.glyphs) {
      w.I64(index);
      w.I64(g.left);
      w.I64(g.top);
      w.I64(g.width);
      w.I64(g.height);
      w.I64(g.grey ? 1 : 0);
      w.Str(std::string_view(reinterpret_cast<const char*>(g.bits.data()), g.bits.size()));
      if (g.grey) {
        for (int32_t v : g.outline) w.I64(v);
      }
    }
    Write(GlyphsFile(key), key, w.out());
  }
  RemoveStaleTemporaryFiles(folder_);
}

}  // namespace kalvenor
