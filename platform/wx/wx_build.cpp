// Building a wx window from a template of resources/: a wxFrame when the
// template has a menu, since only frames carry menu bars, else a wxDialog;
// its controls on a panel that fills the client area, laid out in dialog
// units of the real dialog font; its menu bar.
#include <algorithm>
#include <cstring>

#include "platform/wx/wx_internal.h"

// Menu ids start above the control ids of the templates and stay below wx's own range.
static const int FirstMenuId = 2000;

static void MeasureDialogFont(PlatformWindow* window)
{
    // the desktop's rule: the average of the 52 letters, rounded, and the font height
    int width = 0, height = 0;
    window->panel->GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height);
    window->baseWidth = std::max(1, (width / 26 + 1) / 2);
    window->baseHeight = std::max(1, height);
}

static wxRect ControlRect(const PlatformWindow* window, const ControlTemplate& source)
{
    PlatformRect rect = ControlRectInPixels(source, window->baseWidth, window->baseHeight);
    return wxRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

wxBitmap IconBitmap(int iconId)
{
    const IconImage* icon = FindIconImage(iconId);
    if (!icon)
        return wxBitmap();
    wxImage image(icon->width, icon->height);
    image.SetAlpha();
    unsigned char* rgb = image.GetData();
    unsigned char* alpha = image.GetAlpha();
    for (int i = 0; i < icon->width * icon->height; ++i) {
        memcpy(rgb + 3 * i, icon->rgba + 4 * i, 3);
        alpha[i] = icon->rgba[4 * i + 3];
    }
    return wxBitmap(image);
}

static wxWindow* CreateControl(PlatformWindow* window, const ControlTemplate& source)
{
    wxRect rect = ControlRect(window, source);
    wxWindowID id = source.id < 0 ? wxID_ANY : source.id;
    wxPanel* panel = window->panel;
    wxString text = ToWxString(source.text);
    switch (source.kind) {
    case ControlLabel: {
        wxStaticText* label = new wxStaticText(panel, id, "", rect.GetPosition(), rect.GetSize(), wxST_NO_AUTORESIZE);
        if (source.style & StyleNoPrefix)
            label->SetLabelText(text);
        else
            label->SetLabel(text);
        return label;
    }
    case ControlFrame:
        return CreatePreviewCanvas(panel, id, rect.GetPosition(), rect.GetSize());
    case ControlIcon: {
        // an icon control takes the icon's own size
        wxBitmap bitmap = IconBitmap(MainIcon);
        return new wxStaticBitmap(panel, id, bitmap, rect.GetPosition(),
                                  bitmap.IsOk() ? bitmap.GetSize() : rect.GetSize());
    }
    case ControlPushButton:
    case ControlDefaultPushButton: {
        wxButton* button = new wxButton(panel, id, text, rect.GetPosition(), rect.GetSize());
        if (source.kind == ControlDefaultPushButton)
            button->SetDefault();
        return button;
    }
    case ControlEdit: {
        long style = (source.style & StyleReadOnly) ? wxTE_READONLY : 0;
        style |= (source.style & StyleBorder) ? wxBORDER_SUNKEN : wxBORDER_NONE;
        return new wxTextCtrl(panel, id, text, rect.GetPosition(), rect.GetSize(), style);
    }
    case ControlTrackbar:
        // a horizontal trackbar without ticks or value label
        return new wxSlider(panel, id, NewTrackbarState.position, NewTrackbarState.minimum, NewTrackbarState.maximum,
                            rect.GetPosition(), rect.GetSize(), wxSL_HORIZONTAL);
    case ControlCheckbox:
        return new wxCheckBox(panel, id, text, rect.GetPosition(), rect.GetSize());
    }
    return nullptr;
}

int AddMenuCommand(PlatformWindow* window, unsigned commandId, bool system)
{
    int menuId = FirstMenuId + static_cast<int>(window->menuCommands.size());
    window->menuCommands.push_back({menuId, commandId, system});
    return menuId;
}

// GTK lays out a check box or a slider smaller than its theme's minimum with
// negative sizes; such a control grows right and down to that minimum (a check
// box's text is as wide as the font makes it).
static void KeepToolkitMinimumSize(ControlKind kind, wxWindow* widget)
{
    if (kind != ControlCheckbox && kind != ControlTrackbar)
        return;
    wxSize size = widget->GetSize();
    wxSize minimum = widget->GetBestSize();
    if (kind == ControlCheckbox)
        size.x = std::max(size.x, minimum.x);
    size.y = std::max(size.y, minimum.y);
    widget->SetSize(size);
}

static wxMenuBar* BuildMenuBar(PlatformWindow* window, int menuId)
{
    const MenuTemplate* menu = FindMenuTemplate(menuId);
    if (!menu)
        return nullptr;
    wxMenuBar* bar = new wxMenuBar();
    for (int p = 0; p < menu->popupCount; ++p) {
        const MenuPopupTemplate& popup = menu->popups[p];
        wxMenu* items = new wxMenu();
        for (int i = 0; i < popup.itemCount; ++i) {
            const MenuItemTemplate& item = popup.items[i];
            // only check items can carry a mark in wx; others become one when first checked
            wxItemKind kind = (item.state & MenuItemChecked) ? wxITEM_CHECK : wxITEM_NORMAL;
            int id = AddMenuCommand(window, item.commandId, false);
            wxMenuItem* added = items->Append(id, ToWxString(item.text), "", kind);
            if (kind == wxITEM_CHECK)
                added->Check(true);
            if (item.state & MenuItemGrayed)
                added->Enable(false);
        }
        bar->Append(items, ToWxString(popup.text));
    }
    return bar;
}

static long FrameStyle(const DialogTemplate& source)
{
    long style = 0;
    if (source.style & WindowCaption)
        style |= wxCAPTION;
    if (source.style & WindowSystemMenu)
        style |= wxSYSTEM_MENU | wxCLOSE_BOX;
    if (source.style & WindowSizing)
        style |= wxRESIZE_BORDER;
    if (source.style & WindowMinMaxBoxes)
        style |= wxMINIMIZE_BOX | wxMAXIMIZE_BOX;
    // a tool window only closes: minimising it would take its owner along
    if (source.style & WindowToolWindow)
        style |= wxFRAME_TOOL_WINDOW | wxFRAME_FLOAT_ON_PARENT | wxCLOSE_BOX;
    return style;
}

// Beside the owner's right edge, or its left one when the screen ends first.
static wxPoint BesideOwner(const PlatformWindow* window, WindowHandle owner)
{
    const int gap = window->baseWidth;
    const wxRect beside = owner->frame->GetScreenRect();
    const int width = window->frame->GetSize().x;
    int x = beside.GetRight() + 1 + gap;
    if (x + width > wxGetDisplaySize().x)
        x = std::max(beside.GetLeft() - gap - width, 0);
    return wxPoint(x, beside.GetTop());
}

static wxPoint TemplatePosition(const PlatformWindow* window, WindowHandle owner)
{
    if ((window->source->style & WindowToolWindow) && IsLiveWindow(owner))
        return BesideOwner(window, owner);
    // a popup's position counts from its owner's client area
    wxPoint position(DialogUnitsToPixelsX(window->source->x, window->baseWidth),
                     DialogUnitsToPixelsY(window->source->y, window->baseHeight));
    if (IsLiveWindow(owner))
        position = owner->panel->ClientToScreen(position);
    return position;
}

static void AddControls(PlatformWindow* window)
{
    for (int i = 0; i < window->source->controlCount; ++i) {
        const ControlTemplate& control = window->source->controls[i];
        wxWindow* widget = CreateControl(window, control);
        KeepToolkitMinimumSize(control.kind, widget);
        if (control.style & StyleDisabled)
            widget->Disable();
        window->controls.push_back(
            {control.id, control.kind, control.style, widget, NewTrackbarState.minimum, NewTrackbarState.maximum});
    }
}

PlatformWindow* BuildWxWindow(int templateId, WindowHandle owner, MessageTarget target)
{
    const DialogTemplate* source = FindDialogTemplate(templateId);
    if (!source || !wxTheApp)
        return nullptr;
    PlatformWindow* window = new PlatformWindow();
    window->source = source;
    window->target = target;
    window->owner = IsLiveWindow(owner) ? owner : nullptr;
    window->modalLoop = nullptr;
    wxWindow* parent = window->owner ? window->owner->frame : nullptr;
    wxString title = ToWxString(source->title);
    if (source->menuId)
        window->frame = new wxFrame(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, FrameStyle(*source));
    else
        window->frame = new wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, FrameStyle(*source));
    window->menuBar = BuildMenuBar(window, source->menuId);
    if (window->menuBar)
        static_cast<wxFrame*>(window->frame)->SetMenuBar(window->menuBar);
    window->panel = new wxPanel(window->frame, wxID_ANY);
    MeasureDialogFont(window);
    AddControls(window);
    wxSize client(DialogUnitsToPixelsX(source->width, window->baseWidth),
                  DialogUnitsToPixelsY(source->height, window->baseHeight));
    window->frame->SetClientSize(client);
    window->panel->SetSize(client);
    window->frame->Move(TemplatePosition(window, window->owner));
    if (source->style & WindowAcceptFiles)
        window->frame->DragAcceptFiles(true);
    return window;
}
