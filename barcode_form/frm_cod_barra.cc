// The barcode form: controls, canvases, the warning box and the events.
#include "barcode_form/frm_cod_barra.h"

#include <algorithm>
#include <cmath>

#include "barcode_form/sharp_picture.h"
#include "base/units.h"

namespace kalvenor {

namespace {

constexpr int32_t kPbCodigosMargin = 360;

frmCodBarra::Control MakeControl(const char16_t* caption, int32_t left, int32_t top,
                                 int32_t width, int32_t height, int16_t tab_index,
                                 const char16_t* tool_tip = u"") {
  frmCodBarra::Control c;
  c.Caption = caption;
  c.Left = left;
  c.Top = top;
  c.Width = width;
  c.Height = height;
  c.TabIndex = tab_index;
  c.ToolTipText = tool_tip;
  return c;
}

int Pixels(int32_t twips) {
  return std::max(1, static_cast<int>(std::lround(twips / kTwipsPerPixel)));
}

// A picture box of the design size with its canvas. `units_per_pixel` is
// the box's drawing unit: 15 for twips, 1 for pixels.
void SetUpPictureBox(frmCodBarra::PictureBox& box, const frmCodBarra::Control& design,
                     float units_per_pixel, uint32_t back_color, const CanvasMaker& make) {
  static_cast<frmCodBarra::Control&>(box) = design;
  box.canvas = make(Pixels(design.Width), Pixels(design.Height), units_per_pixel, back_color);
  box.canvas->BackColor = back_color;
  box.canvas->ForeColor = kBlack;
}

}  // namespace

frmCodBarra::frmCodBarra(Host& host) : frmCodBarra(host, MakeCanvas, nullptr) {}

frmCodBarra::frmCodBarra(Host& host, CanvasMaker make_canvas,
                         std::unique_ptr<Clipboard> clipboard)
    : host_(host), clipboard_(std::move(clipboard)), make_canvas_(std::move(make_canvas)) {
  Label1 = MakeControl(u"Codigo de barra", 120, 120, 1455, 255, 2);
  static_cast<Control&>(TxtCodigo) = MakeControl(u"", 120, 360, 2415, 285, 0);
  CmdCopiar = MakeControl(u"Copiar ", 120, 720, 1455, 375, 1);
  cmbImprimir = MakeControl(u"Imprimir", 120, 1200, 1455, 255, 8);
  Command1 = MakeControl(u"Fin Imprimir", 1680, 1200, 1455, 255, 9);
  Frame1 = MakeControl(u"Configuracion", 3600, 120, 2655, 1335, 3);
  static_cast<Control&>(CkOpc[0]) = MakeControl(u"Optimizar para la impresion", 120, 360,
                                                2415, 195, 4, u"Increases spacing");
  static_cast<Control&>(CkOpc[1]) = MakeControl(u"Agregar el  Codigo original", 120, 600,
                                                2415, 195, 7, u"Human readable");
  static_cast<Control&>(CkOpc[2]) = MakeControl(u"Agregar caracter de Chekeo", 120, 840,
                                                2415, 195, 6, u"Not commonly used");
  CkOpc[0].Value = 1;
  CkOpc[1].Value = 1;
  CkOpc[2].Value = 0;

  // Code 39 is drawn in pixels. The EAN drawing needs 116 x 65 units with a
  // unit of at least two pixels (its pen is two pixels wide): two pixels a
  // unit gives 136 x 59 units, which holds the bars and the 12-point digits
  // below them. CB measures in twips.
  SetUpPictureBox(PbCodigos, MakeControl(u"", 120, 1560, 6135, 1000, 5), 1, kWhite,
                  make_canvas_);
  SetUpPictureBox(imgEAN, MakeControl(u"", 960, 2880, 4095, 1785, 10), 0.5f, kWhite,
                  make_canvas_);
  SetUpPictureBox(CB, MakeControl(u"", 0, 4920, 7665, 1275, 11), kTwipsPerPixel, kWhite,
                  make_canvas_);
  PbCodigos.canvas->Font.Name = u"MS Sans Serif";
  PbCodigos.canvas->Font.Size = 8;
  imgEAN.canvas->Font.Name = u"MS Sans Serif";
  imgEAN.canvas->Font.Size = 12;
  CB.canvas->Font.Name = u"MS Sans Serif";
  CB.canvas->Font.Size = 8;
}

void frmCodBarra::msgAviso(const Text& textoAviso) { host_.Warn(textoAviso); }

void frmCodBarra::TxtCodigo_Change() { dibujarCodigo39(); }

void frmCodBarra::CkOpc_Click(int16_t) { dibujarCodigo39(); }

void frmCodBarra::cmbImprimir_Click() {
  Printer& printer = host_.printer();
  printer.PaintPicture(WithSharpBars(PbCodigos.Image()), 1, 1);
  printer.EndDoc();
}

bool frmCodBarra::CmdCopiar_Click() {
  std::string err;
  if (!clipboard_ || !clipboard_->Clear(&err) ||
      !clipboard_->SetPicture(PbCodigos.Image(), &err)) {
    msgAviso(u"No se pudo copiar el codigo de barras: " +
             FromUtf8(clipboard_ ? err : std::string("no clipboard")));
    return false;
  }
  return true;
}

void frmCodBarra::Form_Resize() {
  PbCodigos.Width = std::max<int32_t>(ScaleWidth - kPbCodigosMargin, 0);
  PbCodigos.canvas->Resize(Pixels(PbCodigos.Width), PbCodigos.canvas->PixelHeight());
}

}  // namespace kalvenor
