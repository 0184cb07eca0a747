// frmCodBarra: the barcode form. Its three picture boxes are off-screen
// canvases on which the EAN, Code 39 and Code 128 symbols are drawn and
// handed out as pictures. The form is never shown in a print job: its
// controls are plain state and its events are methods.
#ifndef KALVENOR_BARCODE_FORM_FRM_COD_BARRA_H_
#define KALVENOR_BARCODE_FORM_FRM_COD_BARRA_H_

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "barcode_form/clipboard.h"
#include "host/host.h"
#include "base/text.h"
#include "render/canvas.h"
#include "render/picture.h"

namespace kalvenor {

// Makes a canvas of (pixel width, pixel height, units per pixel, back colour).
using CanvasMaker =
    std::function<std::unique_ptr<Canvas>(int, int, float, uint32_t)>;

class frmCodBarra {
 public:
  // A control's design data; positions in twips within its container.
  struct Control {
    Text Caption;
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    int16_t TabIndex = 0;
    Text ToolTipText;
  };
  struct TextBox : Control {
    ::kalvenor::Text Text;  // the box's text
  };
  struct CheckBox : Control {
    int16_t Value = 0;  // 0 unchecked, 1 checked
  };
  struct PictureBox : Control {
    std::unique_ptr<Canvas> canvas;
    std::shared_ptr<PictureData> Image() const { return canvas->Image(); }
  };

  // Real canvases and no clipboard (copying warns).
  explicit frmCodBarra(Host& host);
  frmCodBarra(Host& host, CanvasMaker make_canvas, std::unique_ptr<Clipboard> clipboard);
  frmCodBarra(const frmCodBarra&) = delete;
  frmCodBarra& operator=(const frmCodBarra&) = delete;

  // --- EAN-13 / EAN-8 on imgEAN --------------------------------------------
  // Draws the EAN-8 (7 to 11 characters: the first 7) or EAN-13 (12 to 20:
  // the first 12) symbol of `codigoBarras` with its computed check digit
  // and returns imgEAN's picture. Other lengths and non-digits are refused
  // with a warning (msgAviso) and give no picture.
  Picture bGenerar_Click(const Text& codigoBarras);
  // `codBarrasOr` followed by its check digit.
  Text formarCodBarras(Text codBarrasOr);
  // The GS1 modulo-10 check digit of 7 or 12 characters (non-digits count
  // as 0); 0 for any other length.
  uint8_t comprobarDigitoControl(Text codigo);
  // The digit at 1-based `vPosicion`; RunTimeError "Type mismatch" when it
  // is not a digit.
  int16_t medIn(const Text& vTextoTmp, int32_t vPosicion);
  // Rebuilds the digit pattern sets and the parity table.
  void iniciarAr();

  // --- Code 39 on PbCodigos ------------------------------------------------
  // Puts `Texto` into TxtCodigo (drawing it when it differs from the text
  // already there) and returns PbCodigos's picture.
  Picture GenerarCodigoDeBarra39(const Text& Texto);

  // --- Code 128 --------------------------------------------------------------
  // The engine's set B symbol of `Code` drawn on CB (not cleared first:
  // it starts at CB's current x), and CB's picture. Its compact form is the
  // shortest encoding drawn alike on a fresh canvas of CB's size, made when
  // a printer asks for it.
  Picture GenerateCode128B(const Text& Code);
  // The form's own set B symbol on imgEAN, one unit per module. Raises
  // RunTimeError "Subscript out of range" for a character outside space
  // to "~", "Overflow" when the weighted sum leaves 16 bits.
  Picture GenerateCode128(const Text& Code);

  // The EAN of a print job: bGenerar_Click, built once for a text and then
  // painted on every copy that prints it (imgEAN is cleared for every
  // symbol, so every copy would draw the same; a refused text is asked
  // again, so that every copy warns). The Code 128 is not kept: CB is not
  // cleared between symbols, so each copy's human-readable line is drawn
  // over the last one's and comes out a little darker.
  Picture PrintedEan(const Text& code);

  // The warning box: on a print server, standard error and the trace.
  void msgAviso(const Text& textoAviso);

  // --- events ------------------------------------------------------------------
  void TxtCodigo_Change();
  void CkOpc_Click(int16_t Index);
  // Paints PbCodigos's picture on the printer at (1, 1) and ends the page.
  void cmbImprimir_Click();
  // Clears the clipboard and puts PbCodigos's picture on it. False, with a
  // warning, when there is no clipboard to take it.
  bool CmdCopiar_Click();
  // PbCodigos takes the form's width less 360 twips.
  void Form_Resize();

  // --- controls ------------------------------------------------------------------
  Text Caption = u"Codigos de barra";
  int32_t ScaleWidth = 6780;  // client area, twips
  int32_t ScaleHeight = 6375;
  Control Label1, CmdCopiar, cmbImprimir, Command1, Frame1;
  TextBox TxtCodigo;
  std::array<CheckBox, 3> CkOpc;
  PictureBox PbCodigos, imgEAN, CB;

  // --- state shared by successive calls ------------------------------------------
  int32_t tipoEAN = 0;  // 8 or 13 after a call
  Text codigoEAN;       // data digits and check digit
  std::array<std::array<Text, 10>, 3> tablasEAN;  // L, G, R
  std::array<Text, 10> paridadEAN;
  std::array<Text, 107> patrones128;

 private:
  std::map<Text, Picture> printed_ean_;

  void dibujarEAN();
  void dibujarGuarda(int32_t& X);
  void dibujarBarra(int32_t X, uint8_t extra);
  void dibujarCodigo39();
  void iniciarTabla128();

  Host& host_;
  std::unique_ptr<Clipboard> clipboard_;
  CanvasMaker make_canvas_;
};

}  // namespace kalvenor

#endif  // KALVENOR_BARCODE_FORM_FRM_COD_BARRA_H_
