// The common dialogs of the wxWidgets back end: the native Open and Save As
// dialogs, the colour chooser and the message box. Each runs modally; the
// frame timers keep firing inside them.
#include <wx/colordlg.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>

#include <cstring>

#include "platform/wx/wx_internal.h"
#include "platform/wx/wx_testing.h"

static wxWindow* ParentOf(WindowHandle owner)
{
    return IsLiveWindow(owner) ? owner->frame : nullptr;
}

wxString WildcardFromFilter(const char* filter)
{
    if (!filter || !*filter)
        return wxFileSelectorDefaultWildcardStr;
    // the desktop's list ends in "||"; wx takes the pairs without the end mark
    std::string pairs = filter;
    while (!pairs.empty() && pairs.back() == '|')
        pairs.pop_back();
    return ToWxString(pairs.c_str());
}

std::string AppendDefaultExtension(const std::string& path, const char* defaultExtension)
{
    if (!defaultExtension || !*defaultExtension)
        return path;
    size_t nameStart = path.find_last_of("/\\");
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    if (path.find('.', nameStart) != std::string::npos)
        return path;
    std::string extension = defaultExtension;
    if (extension[0] != '.')
        extension.insert(0, 1, '.');
    return path + extension;
}

// The toolkit asked about the name as typed; a name the default extension
// completed names another file, which the user must confirm replacing too.
static bool ConfirmReplacing(wxWindow* parent, const std::string& path)
{
    if (!wxFileExists(ToWxString(path.c_str())))
        return true;
    wxString name = wxFileName(ToWxString(path.c_str())).GetFullName();
    wxMessageDialog question(parent, wxString::Format("%s already exists.\nDo you want to replace it?", name),
                             "Confirm Save As", wxYES_NO | wxNO_DEFAULT | wxICON_WARNING | wxCENTRE);
    return question.ShowModal() == wxID_YES;
}

static bool ShowFileDialogOp(const FileDialogRequest& request, char* path, size_t size)
{
    if (!path || size == 0)
        return false;
    // no "must exist" on Open: the user may type any name, and the loader reports it
    long style = request.save ? wxFD_SAVE : wxFD_OPEN;
    if (request.save && (request.flags & FileDialogOverwritePrompt))
        style |= wxFD_OVERWRITE_PROMPT;
    wxFileDialog dialog(ParentOf(request.owner), request.save ? "Save As" : "Open",
                        wxString::FromUTF8(request.initialFolder ? request.initialFolder : ""),
                        wxString::FromUTF8(request.initialName ? request.initialName : ""),
                        WildcardFromFilter(request.filter), style);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    std::string typed = FromWxPath(dialog.GetPath());
    std::string chosen = AppendDefaultExtension(typed, request.defaultExtension);
    if (chosen.empty() || chosen.size() + 1 > size)
        return false;
    if ((style & wxFD_OVERWRITE_PROMPT) && chosen != typed && !ConfirmReplacing(dialog.GetParent(), chosen))
        return false;
    memcpy(path, chosen.c_str(), chosen.size() + 1);
    return true;
}

static bool ShowColorDialogOp(WindowHandle owner, uint32_t initialColor, uint32_t* chosenColor)
{
    wxColourData data;
    data.SetColour(wxColour(initialColor & 0xFF, (initialColor >> 8) & 0xFF, (initialColor >> 16) & 0xFF));
    wxColourDialog dialog(ParentOf(owner), &data);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    wxColour color = dialog.GetColourData().GetColour();
    if (chosenColor)
        *chosenColor = static_cast<uint32_t>(color.Red()) | (static_cast<uint32_t>(color.Green()) << 8) |
            (static_cast<uint32_t>(color.Blue()) << 16);
    return true;
}

static int ShowMessageBoxOp(WindowHandle owner, const char* text, const char* caption, unsigned)
{
    // one OK button and no icon is the only kind the program asks for
    wxMessageDialog dialog(ParentOf(owner), ToWxString(text), ToWxString(caption), wxOK | wxICON_NONE | wxCENTRE);
    dialog.ShowModal();
    return MessageBoxResultOk;
}

void AddWxDialogOps(PlatformOps* ops)
{
    ops->ShowFileDialog = ShowFileDialogOp;
    ops->ShowColorDialog = ShowColorDialogOp;
    ops->ShowMessageBox = ShowMessageBoxOp;
}
