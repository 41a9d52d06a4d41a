#include "dialogs/gtk/GtkSurface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace korvix::dialogs::gtk {

namespace {

// Every user action reaches the surface through one of these; the control rides along as
// the handler's data.
void OnUserSignal(GtkWidget *, gpointer data) {
    auto *control = static_cast<GtkSurface::Control *>(data);
    control->surface->UserAction(*control);
}

void OnTabSwitched(GtkNotebook *, GtkWidget *, guint, gpointer data) {
    OnUserSignal(nullptr, data);
}

// Edits with the "number" style accept digits only, as ES_NUMBER edits do.
void KeepDigitsOnly(GtkEditable *editable, const gchar *text, gint length, gint *, gpointer) {
    const std::string inserted(
        text, length < 0 ? std::char_traits<char>::length(text) : static_cast<size_t>(length));
    if (!std::all_of(inserted.begin(), inserted.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        g_signal_stop_emission_by_name(editable, "insert-text");
    }
}

std::string WidgetName(int page, int id) {
    return page < 0 ? "korvix-frame-" + std::to_string(id)
                    : "korvix-page" + std::to_string(page) + "-" + std::to_string(id);
}

// A drop-down list whose boxes and entries may be narrower than its longest text.
GtkWidget *NewDropDownList() {
    GtkWidget *list = gtk_combo_box_text_new();
    GList *cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(list));
    for (GList *cell = cells; cell != nullptr; cell = cell->next) {
        g_object_set(cell->data, "ellipsize", PANGO_ELLIPSIZE_END, "width-chars", 1, nullptr);
    }
    g_list_free(cells);
    return list;
}

}  // namespace

std::string MnemonicLabel(const std::string &caption) {
    std::string label;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                label += '&';
                ++i;
            } else {
                label += '_';
            }
        } else if (caption[i] == '_') {
            label += "__";
        } else {
            label += caption[i];
        }
    }
    return label;
}

GtkSurface::GtkSurface(const DialogTemplate &dialogTemplate, int page, const DialogUnits &units,
                       DialogLogic &logic)
    : page_(page), logic_(logic), container_(gtk_fixed_new()) {
    g_object_ref_sink(container_);
    gtk_widget_set_size_request(container_, units.X(dialogTemplate.width),
                                units.Y(dialogTemplate.height));
    GtkRadioButton *group = nullptr;
    for (const ControlTemplate &item : dialogTemplate.controls) {
        auto control = std::make_unique<Control>();
        control->surface = this;
        control->id = item.id;
        control->kind = item.kind;
        control->text = item.caption;
        control->buddy = item.buddy;
        if (item.kind != ControlKind::RadioButton || item.groupStart) group = nullptr;
        GtkWidget *widget = Build(*control, item, group);
        group = item.kind == ControlKind::RadioButton ? GTK_RADIO_BUTTON(widget) : nullptr;
        gtk_widget_set_name(widget, WidgetName(page, item.id).c_str());
        gtk_widget_set_size_request(
            widget, units.X(item.width),
            item.kind == ControlKind::DropDownList ? -1 : units.Y(item.height));
        gtk_widget_set_sensitive(widget, !item.disabled);
        gtk_widget_set_visible(widget, !item.hidden);
        gtk_fixed_put(GTK_FIXED(container_), widget, units.X(item.x), units.Y(item.y));
        control->widget = widget;
        if (item.id != kUnaddressedControl) controls_[item.id] = control.get();
        owned_.push_back(std::move(control));
    }
    gtk_widget_show(container_);
}

GtkSurface::~GtkSurface() {
    // The widgets may outlive the surface inside the window until it is destroyed; no
    // handler of theirs may reach the surface after this.
    for (auto &control : owned_) {
        for (gulong handler : {control->handler, control->filter}) {
            if (handler != 0) g_signal_handler_disconnect(control->widget, handler);
        }
    }
    g_object_unref(container_);
}

GtkWidget *GtkSurface::Build(Control &control, const ControlTemplate &item, GtkRadioButton *group) {
    const std::string label = MnemonicLabel(item.caption);
    GtkWidget *widget = nullptr;
    const char *signal = nullptr;
    switch (item.kind) {
        case ControlKind::Tab:
            widget = gtk_notebook_new();
            control.handler =
                g_signal_connect_after(widget, "switch-page", G_CALLBACK(OnTabSwitched), &control);
            return widget;
        case ControlKind::Slider:
            widget = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 100, 1);
            gtk_scale_set_draw_value(GTK_SCALE(widget), FALSE);
            gtk_range_set_round_digits(GTK_RANGE(widget), 0);
            signal = "value-changed";
            break;
        case ControlKind::Spin: {
            widget = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
            gtk_style_context_add_class(gtk_widget_get_style_context(widget), "korvix-spin");
            for (int step : {+1, -1}) {
                auto arrow = std::make_unique<Control>(control);
                arrow->step = step;
                arrow->widget = gtk_button_new_with_label(step > 0 ? "\u25B4" : "\u25BE");
                gtk_widget_set_can_focus(arrow->widget, FALSE);
                arrow->handler = g_signal_connect(arrow->widget, "clicked",
                                                  G_CALLBACK(OnUserSignal), arrow.get());
                gtk_box_pack_start(GTK_BOX(widget), arrow->widget, TRUE, TRUE, 0);
                gtk_widget_show(arrow->widget);
                owned_.push_back(std::move(arrow));
            }
            return widget;
        }
        case ControlKind::Edit:
            widget = gtk_entry_new();
            gtk_entry_set_width_chars(GTK_ENTRY(widget), 1);
            if (item.numbersOnly) {
                control.filter =
                    g_signal_connect(widget, "insert-text", G_CALLBACK(KeepDigitsOnly), nullptr);
            }
            signal = "changed";
            break;
        case ControlKind::DropDownList:
            widget = NewDropDownList();
            signal = "changed";
            break;
        case ControlKind::CheckBox:
            widget = gtk_check_button_new_with_mnemonic(label.c_str());
            signal = "clicked";
            break;
        case ControlKind::RadioButton:
            widget = gtk_radio_button_new_with_mnemonic_from_widget(group, label.c_str());
            signal = "clicked";
            break;
        case ControlKind::PushButton:
            widget = gtk_button_new_with_mnemonic(label.c_str());
            signal = "clicked";
            break;
        case ControlKind::GroupBox:
            widget = gtk_frame_new(nullptr);
            gtk_frame_set_label_widget(GTK_FRAME(widget),
                                       gtk_label_new_with_mnemonic(label.c_str()));
            gtk_widget_show_all(widget);
            return widget;
        case ControlKind::Static:
            widget = gtk_label_new_with_mnemonic(label.c_str());
            gtk_label_set_xalign(GTK_LABEL(widget), 0.0F);
            gtk_label_set_yalign(GTK_LABEL(widget), 0.0F);
            gtk_label_set_line_wrap(GTK_LABEL(widget), TRUE);
            return widget;
    }
    if (signal != nullptr && item.id != kUnaddressedControl) {
        control.handler = g_signal_connect(widget, signal, G_CALLBACK(OnUserSignal), &control);
    }
    return widget;
}

template <typename Change>
void GtkSurface::Quietly(const Control &control, Change change) {
    // Like ES_NUMBER, the digits-only filter holds for typing, not for the logic's texts.
    for (gulong handler : {control.handler, control.filter}) {
        if (handler != 0) g_signal_handler_block(control.widget, handler);
    }
    change();
    for (gulong handler : {control.handler, control.filter}) {
        if (handler != 0) g_signal_handler_unblock(control.widget, handler);
    }
}

GtkSurface::Control *GtkSurface::FindAny(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

GtkSurface::Control *GtkSurface::Find(int id, ControlKind kind) const {
    Control *control = FindAny(id);
    return control != nullptr && control->kind == kind ? control : nullptr;
}

void GtkSurface::UserAction(Control &control) {
    switch (control.kind) {
        case ControlKind::Tab:
            logic_.OnTabChanged(gtk_notebook_get_current_page(GTK_NOTEBOOK(control.widget)));
            return;
        case ControlKind::Slider:
            logic_.OnSliderMoved(page_, control.id, GetSliderPosition(control.id));
            return;
        case ControlKind::Spin: {
            // An up-down control steps its buddy's number inside its range and reports the
            // buddy's change, as UDS_SETBUDDYINT does.
            const Control *spin = Find(control.id, ControlKind::Spin);
            Control *buddy = spin != nullptr ? Find(spin->buddy, ControlKind::Edit) : nullptr;
            if (buddy == nullptr) return;
            const std::string current = GetText(buddy->id);
            char *end = nullptr;
            const long value = std::strtol(current.c_str(), &end, 10);
            const long stepped = end == current.c_str() ? spin->minimum : value + control.step;
            const long next = std::clamp<long>(stepped, std::min(spin->minimum, spin->maximum),
                                               std::max(spin->minimum, spin->maximum));
            if (std::to_string(next) == current) return;
            SetText(buddy->id, std::to_string(next));
            logic_.OnCommand(page_, buddy->id, Notification::EditChanged);
            return;
        }
        case ControlKind::Edit:
            logic_.OnCommand(page_, control.id, Notification::EditChanged);
            return;
        case ControlKind::DropDownList:
            logic_.OnCommand(page_, control.id, Notification::SelectionChanged);
            return;
        case ControlKind::RadioButton:
            // GTK also reports "clicked" for the radio button of the group that a click turns
            // off; Win32 reports only the one clicked, which a click always leaves checked.
            if (!gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control.widget))) return;
            logic_.OnCommand(page_, control.id, Notification::Clicked);
            return;
        case ControlKind::CheckBox:
        case ControlKind::PushButton:
            logic_.OnCommand(page_, control.id, Notification::Clicked);
            return;
        case ControlKind::GroupBox:
        case ControlKind::Static:
            return;
    }
}

void GtkSurface::SetText(int id, const std::string &text) {
    Control *control = FindAny(id);
    if (control == nullptr) return;
    control->text = text;
    Quietly(*control, [&] {
        switch (control->kind) {
            case ControlKind::Edit:
                gtk_entry_set_text(GTK_ENTRY(control->widget), text.c_str());
                break;
            case ControlKind::Static:
                gtk_label_set_text_with_mnemonic(GTK_LABEL(control->widget),
                                                 MnemonicLabel(text).c_str());
                break;
            case ControlKind::CheckBox:
            case ControlKind::RadioButton:
            case ControlKind::PushButton:
                gtk_button_set_label(GTK_BUTTON(control->widget), MnemonicLabel(text).c_str());
                break;
            case ControlKind::GroupBox:
                gtk_label_set_text_with_mnemonic(
                    GTK_LABEL(gtk_frame_get_label_widget(GTK_FRAME(control->widget))),
                    MnemonicLabel(text).c_str());
                break;
            default:
                break;
        }
    });
}

std::string GtkSurface::GetText(int id) const {
    const Control *control = FindAny(id);
    if (control == nullptr) return {};
    if (control->kind == ControlKind::Edit) return gtk_entry_get_text(GTK_ENTRY(control->widget));
    return control->text;
}

void GtkSurface::SetSliderRange(int id, int minimum, int maximum) {
    if (Control *slider = Find(id, ControlKind::Slider)) {
        Quietly(*slider, [&] {
            gtk_range_set_range(GTK_RANGE(slider->widget), minimum, std::max(minimum, maximum));
        });
    }
}

void GtkSurface::SetSliderPosition(int id, int position) {
    if (Control *slider = Find(id, ControlKind::Slider)) {
        // GtkRange clamps to its range, as a trackbar does.
        Quietly(*slider, [&] { gtk_range_set_value(GTK_RANGE(slider->widget), position); });
    }
}

int GtkSurface::GetSliderPosition(int id) const {
    const Control *slider = Find(id, ControlKind::Slider);
    if (slider == nullptr) return 0;
    return static_cast<int>(std::lround(gtk_range_get_value(GTK_RANGE(slider->widget))));
}

void GtkSurface::SetSliderTicks(int id, int every) {
    Control *slider = Find(id, ControlKind::Slider);
    if (slider == nullptr) return;
    GtkScale *scale = GTK_SCALE(slider->widget);
    gtk_scale_clear_marks(scale);
    if (every <= 0) return;
    GtkAdjustment *range = gtk_range_get_adjustment(GTK_RANGE(scale));
    const double maximum = gtk_adjustment_get_upper(range);
    for (double mark = gtk_adjustment_get_lower(range); mark <= maximum; mark += every) {
        gtk_scale_add_mark(scale, mark, GTK_POS_BOTTOM, nullptr);
    }
}

void GtkSurface::SetSpinRange(int id, int minimum, int maximum) {
    if (Control *spin = Find(id, ControlKind::Spin)) {
        spin->minimum = minimum;
        spin->maximum = maximum;
    }
}

void GtkSurface::Enable(int id, bool enabled) {
    if (Control *control = FindAny(id)) gtk_widget_set_sensitive(control->widget, enabled);
}

bool GtkSurface::IsEnabled(int id) const {
    const Control *control = FindAny(id);
    return control != nullptr && gtk_widget_get_sensitive(control->widget);
}

void GtkSurface::Show(int id, bool shown) {
    if (Control *control = FindAny(id)) gtk_widget_set_visible(control->widget, shown);
}

bool GtkSurface::IsShown(int id) const {
    const Control *control = FindAny(id);
    return control != nullptr && gtk_widget_get_visible(control->widget);
}

void GtkSurface::ListClear(int id) {
    if (Control *list = Find(id, ControlKind::DropDownList)) {
        Quietly(*list, [&] { gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(list->widget)); });
    }
}

int GtkSurface::ListAdd(int id, const std::string &text) {
    Control *list = Find(id, ControlKind::DropDownList);
    if (list == nullptr) return -1;
    Quietly(*list, [&] {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(list->widget), text.c_str());
    });
    return ListCount(id) - 1;
}

void GtkSurface::ListInsert(int id, int index, const std::string &text) {
    Control *list = Find(id, ControlKind::DropDownList);
    if (list == nullptr || index < 0 || index > ListCount(id)) return;
    Quietly(*list, [&] {
        gtk_combo_box_text_insert_text(GTK_COMBO_BOX_TEXT(list->widget), index, text.c_str());
    });
}

void GtkSurface::ListDelete(int id, int index) {
    Control *list = Find(id, ControlKind::DropDownList);
    if (list == nullptr || index < 0 || index >= ListCount(id)) return;
    Quietly(*list, [&] { gtk_combo_box_text_remove(GTK_COMBO_BOX_TEXT(list->widget), index); });
}

void GtkSurface::ListSelect(int id, int index) {
    Control *list = Find(id, ControlKind::DropDownList);
    if (list == nullptr) return;
    const int selected = index >= 0 && index < ListCount(id) ? index : -1;
    Quietly(*list, [&] { gtk_combo_box_set_active(GTK_COMBO_BOX(list->widget), selected); });
}

int GtkSurface::ListSelection(int id) const {
    const Control *list = Find(id, ControlKind::DropDownList);
    return list == nullptr ? -1 : gtk_combo_box_get_active(GTK_COMBO_BOX(list->widget));
}

int GtkSurface::ListCount(int id) const {
    const Control *list = Find(id, ControlKind::DropDownList);
    if (list == nullptr) return 0;
    return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(list->widget)),
                                          nullptr);
}

std::string GtkSurface::ListText(int id, int index) const {
    const Control *list = Find(id, ControlKind::DropDownList);
    if (list == nullptr) return {};
    GtkTreeModel *model = gtk_combo_box_get_model(GTK_COMBO_BOX(list->widget));
    GtkTreeIter entry;
    if (index < 0 || !gtk_tree_model_iter_nth_child(model, &entry, nullptr, index)) return {};
    gchar *text = nullptr;
    // GtkComboBoxText keeps its texts in column 0.
    gtk_tree_model_get(model, &entry, 0, &text, -1);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
}

void GtkSurface::SetChecked(int id, bool checked) {
    Control *control = FindAny(id);
    if (control == nullptr ||
        (control->kind != ControlKind::CheckBox && control->kind != ControlKind::RadioButton)) {
        return;
    }
    Quietly(*control,
            [&] { gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control->widget), checked); });
}

bool GtkSurface::IsChecked(int id) const {
    const Control *control = FindAny(id);
    if (control == nullptr ||
        (control->kind != ControlKind::CheckBox && control->kind != ControlKind::RadioButton)) {
        return false;
    }
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control->widget));
}

void GtkSurface::TabAdd(int id, const std::string &caption) {
    Control *tab = Find(id, ControlKind::Tab);
    if (tab == nullptr) return;
    // The notebook shows only the tabs; the pages are surfaces placed over it.
    GtkWidget *empty = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_show(empty);
    GtkWidget *label = gtk_label_new(caption.c_str());
    Quietly(*tab, [&] { gtk_notebook_append_page(GTK_NOTEBOOK(tab->widget), empty, label); });
}

void GtkSurface::TabSelect(int id, int index) {
    if (Control *tab = Find(id, ControlKind::Tab)) {
        Quietly(*tab, [&] { gtk_notebook_set_current_page(GTK_NOTEBOOK(tab->widget), index); });
    }
}

int GtkSurface::TabCurrent(int id) const {
    const Control *tab = Find(id, ControlKind::Tab);
    return tab == nullptr ? -1 : gtk_notebook_get_current_page(GTK_NOTEBOOK(tab->widget));
}

}  // namespace korvix::dialogs::gtk
