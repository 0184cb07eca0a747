// Test doubles: a temporary folder, a recording printer with exact text metrics, hosts over a sandbox.
#ifndef KALVENOR_TESTING_FAKE_HOST_H_
#define KALVENOR_TESTING_FAKE_HOST_H_

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/host.h"
#include "render/printer.h"

namespace kalvenor {

// A fresh temporary folder, removed with everything in it (read-only parts included) when it goes.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& root() const { return root_; }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  void MakeFolder(const std::string& relative) const;

 private:
  std::string root_;
};
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);  // "" when unreadable

EnvLookup EnvOf(std::map<std::string, std::string> vars);

struct PrintOp {
  enum Kind { kPrint, kLine, kPicture } kind = kPrint;
  Text text = {};
  float x = 0, y = 0;
  FontState font = {};
  float x2 = 0, y2 = 0;
  Picture picture = {};
};

// Text is `size` x 12 twips a character wide and `size` x 24 twips high: positions are exact.
class RecordingPrinter : public Printer {
 public:
  void Print(const Text& text, bool end_line) override;
  float TextWidth(const Text& text) override { return static_cast<float>(text.size() * Font.Size * 12); }
  float TextHeight(const Text&) override { return Font.Size * 24; }
  void Line(float x1, float y1, float x2, float y2, uint32_t color) override;
  void PaintPicture(const Picture& picture, float x, float y) override;
  void EndDoc() override;
  std::vector<Text> DeviceNames() override { return names_; }
  void SetCurrentPrinter(size_t index) override { current_ = index; }
  Text DeviceName() override { return names_[current_]; }

  // Ended documents with the name of the printer each went to.
  struct Document {
    Text printer;
    std::vector<PrintOp> ops;
  };
  std::vector<Document> documents;
  std::vector<PrintOp> open_ops;  // drawn since the last EndDoc

  std::vector<Text> Texts(size_t doc) const;  // printed in document `doc`

 private:
  std::vector<Text> names_ = {u"Microsoft Print to PDF", u"COMANDERA"};
  size_t current_ = 0;
};

// One slip line: section digit, two-digit line code, separator, text.
std::string SlipLineOf(char digit, int code, const std::string& text);
// Lines joined and ended with CR LF.
std::string Lines(const std::vector<std::string>& lines);

// What a shell command prints on its standard output; `text` quoted for it.
std::string ShellOutput(const std::string& command);
std::string ShellQuote(const std::string& text);

// The number and description of the run-time error `f` raises; {0, ""} when it raises none.
std::pair<int, std::string> Raised(const std::function<void()>& f);

// Lines read from a descriptor as they are written, each read blocking until its line is there. A
// read that ends, or waits `guard_seconds` in vain, gives "": a writer that hangs fails the test.
class LineReader {
 public:
  explicit LineReader(int fd = -1) : fd_(fd) {}
  LineReader(const LineReader&) = delete;
  ~LineReader();
  std::string ReadLine(int guard_seconds = 120);  // without its line end

 protected:
  int fd_;
  std::string buffered_;
};

// A FIFO at `path` held open for reading and writing: a program opens it for writing at any time
// without waiting, and the test reads what it writes (a trace) as it writes it.
struct Fifo : LineReader {
  explicit Fifo(const std::string& path);
};

// A helper program (a stand-in server, Xvfb) whose standard output is a pipe to the test, which waits
// for what the helper says it did by reading its lines. `quiet`: its standard error to /dev/null.
// `input`: its standard input a pipe from the test, whose end tells it to finish. Sent SIGTERM and
// reaped when it goes.
class ReportingProcess : public LineReader {
 public:
  explicit ReportingProcess(const std::vector<std::string>& argv, bool quiet = false, bool input = false);
  ~ReportingProcess();
  pid_t pid() const { return pid_; }
  // Closes its standard input and waits for it to end.
  void EndInput();

 private:
  pid_t pid_ = -1;
  int input_ = -1;
};

// A port of 127.0.0.1 that refuses connections: bound and never listened on, so that no other
// process takes it while this lives.
struct RefusingPort : LineReader {
  RefusingPort();
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  int port_ = 0;
};
// A port of 127.0.0.1 that takes connections and never answers: the kernel completes them, nobody accepts.
struct SilentPort : RefusingPort {
  SilentPort();
};

// A host with drives C: and H: in `sandbox` ("C", "H"), working directory "C/CAJA" and `printer`
// (owned by the host) as its printer.
Host MakeTestHost(const Sandbox& sandbox, RecordingPrinter** printer);

}  // namespace kalvenor

#endif  // KALVENOR_TESTING_FAKE_HOST_H_
