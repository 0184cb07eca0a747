// The barcode form as a GTK 3 window. Every control stands at its design
// position and size (15 twips a pixel, 96 per inch); typing, the options and
// the buttons run the form's own events, and the picture boxes show their
// canvases as they are.
#include <gtk/gtk.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "base/units.h"
#include "desktop/event_guard.h"
#include "desktop/frm_cod_barra_window.h"
#include "render/color.h"

namespace kalvenor {

namespace {


int Px(int32_t twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }

// The form's look: its 8-point system font, and controls no taller than
// their design sizes (the desktop theme's padding would make a 17-pixel
// button 34 pixels high and push the controls over each other).
constexpr char kFormCss[] = R"(
.kalvenor-form, .kalvenor-form * { font: 8pt "MS Sans Serif"; }
.kalvenor-form entry { min-height: 0; padding: 0 3px; }
.kalvenor-form button { min-height: 0; min-width: 0; padding: 0 4px; }
.kalvenor-form checkbutton { min-height: 0; padding: 0; }
.kalvenor-form check { min-width: 11px; min-height: 11px; margin: 0 4px 0 0; }
.kalvenor-form frame > label { margin: 0 2px; }
)";

struct FormWindow {
  frmCodBarra* form = nullptr;
  GtkWidget* window = nullptr;
  GtkWidget* fixed = nullptr;
  GtkWidget* txt_codigo = nullptr;
  std::array<GtkWidget*, 3> ck_opc{};
  std::vector<GtkWidget*> pictures;
  GtkWidget* pb_codigos = nullptr;
  // Focusable controls in tab order.
  std::vector<GtkWidget*> tab_order;
  // The client area's size when the form last resized; none at first,
  // so the form resizes when it is first shown.
  int client_width = -1, client_height = -1;
  guint resize_source = 0;
};

// Runs one of the form's events. A failure the event does not handle (no
// printer, the print system refusing the page) is shown in the warning box
// instead of ending the program, and the window goes on.
void RunEvent(FormWindow* w, const std::function<void()>& event) {
  RunGuarded(event, [w](const Text& text) { w->form->msgAviso(text); });
  for (GtkWidget* picture : w->pictures) gtk_widget_queue_draw(picture);
}

void Place(FormWindow* w, GtkWidget* widget, const frmCodBarra::Control& c, int32_t left_offset = 0,
           int32_t top_offset = 0) {
  gtk_widget_set_size_request(widget, Px(c.Width), Px(c.Height));
  if (!c.ToolTipText.empty()) gtk_widget_set_tooltip_text(widget, ToUtf8(c.ToolTipText).c_str());
  gtk_fixed_put(GTK_FIXED(w->fixed), widget, Px(left_offset + c.Left), Px(top_offset + c.Top));
}

// --- picture boxes -------------------------------------------------------------------

// Paints the box's persistent image over its back colour, pixel for pixel.
void PaintPictureBox(const frmCodBarra::PictureBox* box, cairo_t* cr) {
  const uint32_t back = OpaqueArgb(box->canvas->BackColor);
  cairo_set_source_rgb(cr, ((back >> 16) & 0xFF) / 255.0, ((back >> 8) & 0xFF) / 255.0,
                       (back & 0xFF) / 255.0);
  cairo_paint(cr);
  Picture image = box->Image();
  if (!image || image->pixel_width <= 0 || image->pixel_height <= 0 ||
      image->pixels.size() != static_cast<size_t>(image->pixel_width) * image->pixel_height) {
    return;
  }
  // The canvas's pixels are premultiplied native-endian ARGB32, which is
  // cairo's own image format; cairo only reads them here.
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(image->pixels.data())),
      CAIRO_FORMAT_ARGB32, image->pixel_width, image->pixel_height, image->pixel_width * 4);
  cairo_set_source_surface(cr, surface, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  cairo_surface_destroy(surface);
}

gboolean DrawPictureBox(GtkWidget*, cairo_t* cr, gpointer data) {
  const auto* box = static_cast<const frmCodBarra::PictureBox*>(data);
  // A box that cannot be painted stays as it is; standard error says why.
  RunGuarded([box, cr] { PaintPictureBox(box, cr); },
             [](const Text& text) { std::fprintf(stderr, "kalvenor-barcodes: %s\n", ToUtf8(text).c_str()); });
  return FALSE;
}

GtkWidget* AddPictureBox(FormWindow* w, frmCodBarra::PictureBox& box) {
  GtkWidget* area = gtk_drawing_area_new();
  g_signal_connect(area, "draw", G_CALLBACK(DrawPictureBox), &box);
  Place(w, area, box);
  w->pictures.push_back(area);
  return area;
}

// --- events --------------------------------------------------------------------------

void OnTextChanged(GtkEditable* editable, gpointer data) {
  auto* w = static_cast<FormWindow*>(data);
  const char* typed = gtk_entry_get_text(GTK_ENTRY(editable));
  RunEvent(w, [w, typed] {
    w->form->TxtCodigo.Text = FromUtf8(typed);
    w->form->TxtCodigo_Change();
  });
}

void OnOptionToggled(GtkToggleButton* button, gpointer data) {
  auto* w = static_cast<FormWindow*>(data);
  for (int16_t index = 0; index < 3; ++index) {
    if (w->ck_opc[index] != GTK_WIDGET(button)) continue;
    w->form->CkOpc[index].Value = gtk_toggle_button_get_active(button) ? 1 : 0;
    RunEvent(w, [w, index] { w->form->CkOpc_Click(index); });
  }
}

void OnCopiarClicked(GtkButton*, gpointer data) {
  auto* w = static_cast<FormWindow*>(data);
  RunEvent(w, [w] { w->form->CmdCopiar_Click(); });
}

void OnImprimirClicked(GtkButton*, gpointer data) {
  auto* w = static_cast<FormWindow*>(data);
  RunEvent(w, [w] { w->form->cmbImprimir_Click(); });
}

// PbCodigos follows the width of the client area. The new size request
// waits for the layout pass that reported the width to end.
gboolean ApplyResize(gpointer data) {
  auto* w = static_cast<FormWindow*>(data);
  w->resize_source = 0;
  const frmCodBarra::PictureBox& box = w->form->PbCodigos;
  gtk_widget_set_size_request(w->pb_codigos, std::max(1, Px(box.Width)), Px(box.Height));
  gtk_widget_queue_draw(w->pb_codigos);
  return G_SOURCE_REMOVE;
}

void OnClientAllocated(GtkWidget*, GdkRectangle* allocation, gpointer data) {
  auto* w = static_cast<FormWindow*>(data);
  if (allocation->width == w->client_width && allocation->height == w->client_height) return;
  w->client_width = allocation->width;
  w->client_height = allocation->height;
  const int32_t width = static_cast<int32_t>(allocation->width * kTwipsPerPixel);
  const int32_t height = static_cast<int32_t>(allocation->height * kTwipsPerPixel);
  w->form->ScaleWidth = width;
  w->form->ScaleHeight = height;
  RunEvent(w, [w] { w->form->Form_Resize(); });
  if (w->resize_source == 0) w->resize_source = g_idle_add(ApplyResize, w);
}

// Tab and Shift+Tab follow the form's tab order rather than the
// toolkit's geometric guess.
gboolean OnKeyPress(GtkWidget* window, GdkEventKey* event, gpointer data) {
  auto* w = static_cast<FormWindow*>(data);
  const bool tab = event->keyval == GDK_KEY_Tab || event->keyval == GDK_KEY_KP_Tab;
  const bool back_tab = event->keyval == GDK_KEY_ISO_Left_Tab;
  if ((!tab && !back_tab) || (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0 ||
      w->tab_order.empty()) {
    return FALSE;
  }
  const bool backwards = back_tab || (event->state & GDK_SHIFT_MASK) != 0;
  const int n = static_cast<int>(w->tab_order.size());
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
  auto found = std::find(w->tab_order.begin(), w->tab_order.end(), focus);
  int at = found == w->tab_order.end() ? (backwards ? 0 : n - 1)
                                       : static_cast<int>(found - w->tab_order.begin());
  for (int step = 0; step < n; ++step) {
    at = (at + (backwards ? n - 1 : 1)) % n;
    GtkWidget* next = w->tab_order[at];
    if (gtk_widget_is_sensitive(next) && gtk_widget_get_visible(next)) {
      gtk_widget_grab_focus(next);
      break;
    }
  }
  return TRUE;
}

// --- the warning box -----------------------------------------------------------------

void ShowWarning(GtkWindow* parent, const Text& text) {
  GtkWidget* dialog = gtk_message_dialog_new(
      parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "%s", ToUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), kProgramTitle);
  // GTK 3 message boxes no longer draw an icon of their own: put the
  // warning sign before the text.
  GtkWidget* message_area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
  GtkWidget* row = gtk_widget_get_parent(message_area);
  if (GTK_IS_BOX(row)) {
    GtkWidget* icon = gtk_image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(icon, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);
    gtk_box_reorder_child(GTK_BOX(row), icon, 0);
    gtk_widget_show(icon);
  }
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

// --- building the window -------------------------------------------------------------

// The top-level window with the form's look, and its client area: a fixed
// layout in a scrolled area that clips what does not fit.
void BuildWindow(FormWindow* w) {
  const frmCodBarra& form = *w->form;
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kFormCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);

  w->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_style_context_add_class(gtk_widget_get_style_context(w->window), "kalvenor-form");
  gtk_window_set_title(GTK_WINDOW(w->window), ToUtf8(form.Caption).c_str());
  gtk_window_set_default_size(GTK_WINDOW(w->window), Px(form.ScaleWidth), Px(form.ScaleHeight));
  g_signal_connect(w->window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  g_signal_connect(w->window, "key-press-event", G_CALLBACK(OnKeyPress), w);

  // The client area clips what does not fit (CB is wider than the form)
  // instead of growing the window to hold it, and may be made smaller.
  GtkWidget* client = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(client), GTK_POLICY_EXTERNAL,
                                 GTK_POLICY_EXTERNAL);
  gtk_container_add(GTK_CONTAINER(w->window), client);
  g_signal_connect(client, "size-allocate", G_CALLBACK(OnClientAllocated), w);
  w->fixed = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(client), w->fixed);
  GtkWidget* viewport = gtk_bin_get_child(GTK_BIN(client));
  if (GTK_IS_VIEWPORT(viewport)) {
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(viewport), GTK_SHADOW_NONE);
  }
}

void Build(FormWindow* w) {
  frmCodBarra& form = *w->form;
  BuildWindow(w);
  std::vector<std::pair<int16_t, GtkWidget*>> focusable;

  GtkWidget* label = gtk_label_new(ToUtf8(form.Label1.Caption).c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_yalign(GTK_LABEL(label), 0);
  Place(w, label, form.Label1);

  w->txt_codigo = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(w->txt_codigo), ToUtf8(form.TxtCodigo.Text).c_str());
  gtk_entry_set_width_chars(GTK_ENTRY(w->txt_codigo), 1);  // the design width rules
  Place(w, w->txt_codigo, form.TxtCodigo);
  g_signal_connect(w->txt_codigo, "changed", G_CALLBACK(OnTextChanged), w);
  focusable.emplace_back(form.TxtCodigo.TabIndex, w->txt_codigo);

  struct ButtonSpec {
    const frmCodBarra::Control* control;
    GCallback on_click;  // null: no action
  };
  for (const ButtonSpec& entry : {ButtonSpec{&form.CmdCopiar, G_CALLBACK(OnCopiarClicked)},
                                 ButtonSpec{&form.cmbImprimir, G_CALLBACK(OnImprimirClicked)},
                                 ButtonSpec{&form.Command1, nullptr}}) {
    GtkWidget* button = gtk_button_new_with_label(ToUtf8(entry.control->Caption).c_str());
    Place(w, button, *entry.control);
    if (entry.on_click != nullptr) g_signal_connect(button, "clicked", entry.on_click, w);
    focusable.emplace_back(entry.control->TabIndex, button);
  }

  // The frame is drawn first; the options lie over it at their positions
  // inside it.
  GtkWidget* frame = gtk_frame_new(ToUtf8(form.Frame1.Caption).c_str());
  Place(w, frame, form.Frame1);
  for (int16_t index = 0; index < 3; ++index) {
    const frmCodBarra::CheckBox& option = form.CkOpc[index];
    GtkWidget* check = gtk_check_button_new_with_label(ToUtf8(option.Caption).c_str());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), option.Value == 1);
    Place(w, check, option, form.Frame1.Left, form.Frame1.Top);
    g_signal_connect(check, "toggled", G_CALLBACK(OnOptionToggled), w);
    w->ck_opc[index] = check;
    focusable.emplace_back(option.TabIndex, check);
  }

  w->pb_codigos = AddPictureBox(w, form.PbCodigos);
  AddPictureBox(w, form.imgEAN);
  AddPictureBox(w, form.CB);

  std::stable_sort(focusable.begin(), focusable.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& entry : focusable) w->tab_order.push_back(entry.second);
  gtk_widget_grab_focus(w->tab_order.front());
}

}  // namespace

int ShowFormWindow(frmCodBarra& form, Host& host, int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "%s: no desktop to show the window on (DISPLAY or WAYLAND_DISPLAY)\n",
                 argc > 0 ? argv[0] : "kalvenor-barcodes");
    return 1;
  }
  g_set_application_name(kProgramTitle);
  FormWindow w;
  w.form = &form;
  Build(&w);

  std::function<void(const Text&)> previous_sink = std::move(host.warn_sink);
  host.warn_sink = [&w](const Text& text) { ShowWarning(GTK_WINDOW(w.window), text); };
  gtk_widget_show_all(w.window);
  gtk_main();
  if (w.resize_source != 0) g_source_remove(w.resize_source);
  host.warn_sink = std::move(previous_sink);
  return 0;
}

}  // namespace kalvenor
