// The controls and menus of a wx window, looked up by control id and by
// command id.
#include <algorithm>

#include "platform/wx/wx_internal.h"

// ---------------------------------------------------------------------------
// Controls

static bool HasControlOp(WindowHandle window, int controlId)
{
    return FindWxControl(window, controlId) != nullptr;
}

// A label that shows "&" itself keeps it out of the toolkit's mnemonic parsing.
static bool ShowsAmpersands(const WxControl& control)
{
    return control.kind == ControlLabel && (control.style & StyleNoPrefix);
}

static void SetControlTextOp(WindowHandle window, int controlId, const char* text)
{
    WxControl* control = FindWxControl(window, controlId);
    if (!control)
        return;
    wxString value = ToWxString(text);
    if (control->kind == ControlEdit) {
        static_cast<wxTextCtrl*>(control->widget)->ChangeValue(value);
        // a read-only line may be too narrow for what it says: the pointer shows all of it
        if (control->style & StyleReadOnly)
            control->widget->SetToolTip(value);
    } else if (ShowsAmpersands(*control)) {
        static_cast<wxStaticText*>(control->widget)->SetLabelText(value);
    } else {
        control->widget->SetLabel(value);
    }
}

static void SetMinimumClientSizeOp(WindowHandle window, int width, int height)
{
    if (IsLiveWindow(window))
        window->frame->SetMinClientSize(wxSize(width, height));
}

static void SetWindowTitleOp(WindowHandle window, const char* title)
{
    if (IsLiveWindow(window))
        window->frame->SetTitle(ToWxString(title));
}

static std::string GetWindowTitleOp(WindowHandle window)
{
    return IsLiveWindow(window) ? FromWxString(window->frame->GetTitle()) : std::string();
}

static std::string GetControlTextOp(WindowHandle window, int controlId)
{
    WxControl* control = FindWxControl(window, controlId);
    if (!control)
        return std::string();
    if (control->kind == ControlEdit)
        return FromWxString(static_cast<wxTextCtrl*>(control->widget)->GetValue());
    if (ShowsAmpersands(*control))
        return FromWxString(static_cast<wxStaticText*>(control->widget)->GetLabelText());
    return FromWxString(control->widget->GetLabel());
}

static void EnableControlOp(WindowHandle window, int controlId, bool enable)
{
    if (WxControl* control = FindWxControl(window, controlId))
        control->widget->Enable(enable);
}

static bool IsControlEnabledOp(WindowHandle window, int controlId)
{
    WxControl* control = FindWxControl(window, controlId);
    return control && control->widget->IsThisEnabled();
}

static bool GetControlRectOp(WindowHandle window, int controlId, PlatformRect* rect)
{
    WxControl* control = FindWxControl(window, controlId);
    if (!control || !rect)
        return false;
    wxRect outer = control->widget->GetRect();
    *rect = {outer.x, outer.y, outer.x + outer.width, outer.y + outer.height};
    return true;
}

static bool SetControlSizeOp(WindowHandle window, int controlId, int width, int height)
{
    WxControl* control = FindWxControl(window, controlId);
    if (!control)
        return false;
    // a negative size is an empty control, as on the desktop; wx would read -1 as "default"
    wxPoint position = control->widget->GetPosition();
    control->widget->SetSize(position.x, position.y, std::max(width, 0), std::max(height, 0), wxSIZE_ALLOW_MINUS_ONE);
    return true;
}

static WxControl* FindTrackbar(WindowHandle window, int controlId)
{
    WxControl* control = FindWxControl(window, controlId);
    return control && control->kind == ControlTrackbar ? control : nullptr;
}

static bool GetTrackbarOp(WindowHandle window, int controlId, TrackbarState* state)
{
    WxControl* control = FindTrackbar(window, controlId);
    if (!control)
        return false;
    *state = {control->rangeMinimum, control->rangeMaximum, static_cast<wxSlider*>(control->widget)->GetValue()};
    return true;
}

static void SetTrackbarOp(WindowHandle window, int controlId, const TrackbarState& state)
{
    WxControl* control = FindTrackbar(window, controlId);
    if (!control)
        return;
    wxSlider* slider = static_cast<wxSlider*>(control->widget);
    if (state.minimum != control->rangeMinimum || state.maximum != control->rangeMaximum) {
        control->rangeMinimum = state.minimum;
        control->rangeMaximum = state.maximum;
        // a slider needs some room; an empty range shows as one step
        slider->SetRange(state.minimum, std::max(state.minimum + 1, state.maximum));
    }
    slider->SetValue(state.position);
}

static void SetCheckStateOp(WindowHandle window, int controlId, int state)
{
    WxControl* control = FindWxControl(window, controlId);
    if (control && control->kind == ControlCheckbox)
        static_cast<wxCheckBox*>(control->widget)->SetValue(state != 0);
}

static int GetCheckStateOp(WindowHandle window, int controlId)
{
    WxControl* control = FindWxControl(window, controlId);
    if (!control || control->kind != ControlCheckbox)
        return 0;
    return static_cast<wxCheckBox*>(control->widget)->GetValue() ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Menus

static bool WindowHasMenuOp(WindowHandle window)
{
    return IsLiveWindow(window) && window->menuBar;
}

static wxMenuItem* FindMenuItem(WindowHandle window, unsigned commandId, wxMenu** menu)
{
    if (!IsLiveWindow(window) || !window->menuBar)
        return nullptr;
    for (const MenuCommand& command : window->menuCommands)
        if (!command.system && command.commandId == commandId)
            return window->menuBar->FindItem(command.menuId, menu);
    return nullptr;
}

static int GetMenuItemStateOp(WindowHandle window, unsigned commandId)
{
    wxMenuItem* item = FindMenuItem(window, commandId, nullptr);
    if (!item)
        return -1;
    unsigned state = item->IsEnabled() ? 0 : MenuItemGrayed;
    if (item->IsCheckable() && item->IsChecked())
        state |= MenuItemChecked;
    return static_cast<int>(state);
}

// wx cannot mark a plain item: it becomes a check item in the same place.
static wxMenuItem* MakeCheckable(wxMenu* menu, wxMenuItem* item)
{
    size_t position = 0;
    menu->FindChildItem(item->GetId(), &position);
    int id = item->GetId();
    wxString text = item->GetItemLabel();
    menu->Destroy(item);
    return menu->InsertCheckItem(position, id, text);
}

static bool SetMenuItemTextOp(WindowHandle window, unsigned commandId, const char* text)
{
    wxMenu* menu = nullptr;
    wxMenuItem* item = FindMenuItem(window, commandId, &menu);
    if (!item || !text)
        return false;
    item->SetItemLabel(wxString::FromUTF8(text));
    return true;
}

static bool SetMenuItemStateOp(WindowHandle window, unsigned commandId, unsigned state)
{
    wxMenu* menu = nullptr;
    wxMenuItem* item = FindMenuItem(window, commandId, &menu);
    if (!item)
        return false;
    bool checked = (state & MenuItemChecked) != 0;
    if (checked && !item->IsCheckable())
        item = MakeCheckable(menu, item);
    if (item->IsCheckable())
        item->Check(checked);
    item->Enable((state & MenuItemGrayed) == 0);
    return true;
}

static wxMenu* HelpMenu(wxMenuBar* bar)
{
    const wxString title = "&Help";
    int index = bar->FindMenu(title);
    if (index != wxNOT_FOUND)
        return bar->GetMenu(static_cast<size_t>(index));
    wxMenu* help = new wxMenu();
    bar->Append(help, title);
    return help;
}

// The desktop here has no system menu: the item goes last on a Help menu.
static bool AppendSystemMenuItemOp(WindowHandle window, unsigned commandId, const char* text)
{
    if (!IsLiveWindow(window) || !(window->source->style & WindowSystemMenu) || !window->menuBar)
        return false;
    wxMenu* help = HelpMenu(window->menuBar);
    if (help->GetMenuItemCount() > 0)
        help->AppendSeparator();
    help->Append(AddMenuCommand(window, commandId, true), ToWxString(text));
    return true;
}

void AddWxControlOps(PlatformOps* ops)
{
    ops->HasControl = HasControlOp;
    ops->SetControlText = SetControlTextOp;
    ops->GetControlText = GetControlTextOp;
    ops->SetWindowTitle = SetWindowTitleOp;
    ops->SetMinimumClientSize = SetMinimumClientSizeOp;
    ops->GetWindowTitle = GetWindowTitleOp;
    ops->EnableControl = EnableControlOp;
    ops->IsControlEnabled = IsControlEnabledOp;
    ops->GetControlRect = GetControlRectOp;
    ops->SetControlSize = SetControlSizeOp;
    ops->GetTrackbar = GetTrackbarOp;
    ops->SetTrackbar = SetTrackbarOp;
    ops->SetCheckState = SetCheckStateOp;
    ops->GetCheckState = GetCheckStateOp;
    ops->WindowHasMenu = WindowHasMenuOp;
    ops->GetMenuItemState = GetMenuItemStateOp;
    ops->SetMenuItemState = SetMenuItemStateOp;
    ops->SetMenuItemText = SetMenuItemTextOp;
    ops->AppendSystemMenuItem = AppendSystemMenuItemOp;
}
