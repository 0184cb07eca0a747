// The printer surface: a document's drawing is recorded and traced, and when
// it ends becomes one roll-paper page in the output the current printer
// wants (PDF, PostScript or an ESC/POS dot page), handed to that printer.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/run_time_error.h"
#include "base/units.h"
#include "printers/escpos.h"
#include "render/cairo_printer.h"
#include "render/dot_render-cairo.h"
#include "render/drawing-cairo.h"

namespace kalvenor {
namespace {

constexpr double kRollWidthMm = 80.0;

std::string Bool(bool value) { return value ? "true" : "false"; }

class CairoPrinter : public Printer {
 public:
  CairoPrinter(std::unique_ptr<Printers> printers, Trace* trace) : printers_(std::move(printers)), trace_(trace) {
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
    ops_.push_back(TextOp{text, Font, CurrentX, CurrentY, std::move(measured)});
    if (Tracing()) {
      trace_->Write("\"op\":\"print\",\"doc\":" + std::to_string(doc_) + ",\"x\":" + JsonNumber(CurrentX) +
                    ",\"y\":" + JsonNumber(CurrentY) + ",\"text\":" + JsonText(text) +
                    ",\"font\":" + JsonText(Font.Name) + ",\"size\":" + JsonNumber(Font.Size) +
                    ",\"bold\":" + Bool(Font.Bold) + ",\"italic\":" + Bool(Font.Italic) +
                    ",\"underline\":" + Bool(Font.Underline) + ",\"w\":" + JsonNumber(w) + ",\"h\":" + JsonNumber(h));
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
    return static_cast<float>(TextEngine::Get().Measure(text, Font).width * kTwipsPerPoint);
  }

  float TextHeight(const Text& text) override {
    RequirePrinter();
    return static_cast<float>(TextEngine::Get().Measure(text, Font).height * kTwipsPerPoint);
  }

  void Line(float x1, float y1, float x2, float y2, uint32_t color) override {
    OpenDocument();
    ops_.push_back(LineOp{x1, y1, x2, y2, color, DrawWidth});
    Extend(std::max(y1, y2));
    CurrentX = x2;
    CurrentY = y2;
    if (Tracing()) {
      trace_->Write("\"op\":\"line\",\"doc\":" + std::to_string(doc_) + ",\"x1\":" + JsonNumber(x1) +
                    ",\"y1\":" + JsonNumber(y1) + ",\"x2\":" + JsonNumber(x2) + ",\"y2\":" + JsonNumber(y2) +
                    ",\"color\":" + std::to_string(color) + ",\"width\":" + std::to_string(DrawWidth));
    }
  }

  void PaintPicture(const Picture& picture, float x, float y) override {
    RequirePrinter();
    double w = picture ? picture->width_twips : 0;
    double h = picture ? picture->height_twips : 0;
    if (Tracing()) {
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
    std::string document;
    if (output.format == PrinterOutput::Format::kEscPos) {
      DotPage page = RenderDotPage(ops_, max_y_twips_, output, dots_);
      document = EncodeEscPos(page, output.cut);
      dots_.Recycle(std::move(page));
    } else {
      document = RenderDocument(name, output.format == PrinterOutput::Format::kPostScript);
    }
    ops_.clear();
    open_ = false;
    std::string made = printers_->Submit(name, document, "Kalvenor " + std::to_string(doc_));
    if (Tracing()) {
      trace_->Write("\"op\":\"enddoc\",\"doc\":" + std::to_string(doc_) + ",\"printer\":" +
                    JsonText(FromUtf8(name)) + ",\"output\":" + JsonText(FromUtf8(made)));
    }
    ++doc_;
  }

  int FontCount() override { return FontCountOfScreen(); }
  Text Fonts(int index) override { return FontOfScreen(index); }

 private:
  bool Tracing() const { return trace_ != nullptr && trace_->enabled(); }

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

  // The open document as one vector page as wide as the printer's paper
  // and as long as its content.
  std::string RenderDocument(const std::string& name, bool postscript) {
    double media_mm = printers_->MediaWidthMm(name);
    double width_pt = (media_mm > 0 ? media_mm : kRollWidthMm) / 25.4 * 72.0;
    double height_pt = (max_y_twips_ + kBottomMarginTwips) / kTwipsPerPoint;
    return RenderVectorPage(ops_, width_pt, height_pt, postscript);
  }

  std::unique_ptr<Printers> printers_;
  Trace* trace_;
  int current_ = -1;
  int doc_ = 1;
  bool open_ = false;
  std::vector<DrawOp> ops_;
  double max_y_twips_ = 0;
  DotRenderer dots_;  // keeps the glyphs it rendered for the next documents
};

}  // namespace

std::unique_ptr<Printer> MakeCairoPrinter(std::unique_ptr<Printers> printers, Trace* trace) {
  return std::make_unique<CairoPrinter>(std::move(printers), trace);
}

}  // namespace kalvenor
