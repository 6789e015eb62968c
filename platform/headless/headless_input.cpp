// What a user does to a headless window, as tests and batch mode do it:
// clicks, menu choices, keys, the close box, drops, mouse moves, resizing,
// and the ticks of the timers.
#include "platform/headless/headless.h"
#include "platform/headless/headless_internal.h"

static void SendCommand(WindowHandle handle, unsigned commandId)
{
    if (HeadlessWindow* window = LiveHeadlessWindow(handle))
        SendCommandMessage(handle, window->target, commandId);
}

// The dialog object of a live window, or null (a procedure window has none).
static PlatformDialog* DialogOf(WindowHandle handle)
{
    HeadlessWindow* window = LiveHeadlessWindow(handle);
    return window ? window->target.dialog : nullptr;
}

bool HeadlessClickButton(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindHeadlessControl(window, controlId);
    if (!control || !control->enabled)
        return false;
    SendCommand(window, static_cast<unsigned>(controlId));
    return true;
}

bool HeadlessChooseMenuItem(WindowHandle window, unsigned commandId)
{
    HeadlessMenuItem* item = FindHeadlessMenuItem(window, commandId);
    if (!item || (item->state & MenuItemGrayed))
        return false;
    SendCommand(window, commandId);
    return true;
}

void HeadlessPressEnter(WindowHandle window)
{
    SendCommand(window, CommandOk);
}

void HeadlessPressEscape(WindowHandle window)
{
    SendCommand(window, CommandCancel);
}

void HeadlessCloseWindow(WindowHandle handle)
{
    if (HeadlessWindow* window = LiveHeadlessWindow(handle))
        SendCloseMessage(handle, window->target);
}

void HeadlessSendSystemCommand(WindowHandle window, unsigned command)
{
    if (PlatformDialog* dialog = DialogOf(window))
        dialog->OnSysCommand(command, 0);
}

void HeadlessDropFiles(WindowHandle window, const std::vector<std::string>& paths)
{
    PlatformDialog* dialog = DialogOf(window);
    if (!dialog)
        return;
    PlatformDrop drop = {paths};
    dialog->OnDropFiles(&drop);
}

void HeadlessMouseMove(WindowHandle window, unsigned flags, int x, int y)
{
    if (PlatformDialog* dialog = DialogOf(window))
        dialog->OnMouseMove(flags, x, y);
}

void HeadlessMouseWheel(WindowHandle window, int delta, int x, int y)
{
    if (PlatformDialog* dialog = DialogOf(window))
        dialog->OnMouseWheel(delta, x, y);
}

void HeadlessResizeClient(WindowHandle window, int width, int height, unsigned kind)
{
    if (PlatformDialog* dialog = DialogOf(window))
        dialog->OnSize(kind, width, height);
}

void HeadlessMoveTrackbar(WindowHandle window, int controlId, int position)
{
    SetTrackbarPosition(window, controlId, position);
}

void HeadlessClickCheckbox(WindowHandle window, int controlId)
{
    HeadlessControl* control = FindHeadlessControl(window, controlId);
    if (!control || !control->enabled)
        return;
    control->check = control->check ? 0 : 1;
    SendCommand(window, static_cast<unsigned>(controlId));
}

int TickHeadlessTimers(int count)
{
    int calls = 0;
    for (int tick = 0; tick < count; ++tick) {
        // a callback may create or destroy windows: walk a copy
        std::vector<HeadlessWindow*> windows = HeadlessWindows;
        for (HeadlessWindow* window : windows) {
            if (!IsLiveHeadlessWindow(window))
                continue;
            std::vector<HeadlessTimer> timers = window->timers;
            for (const HeadlessTimer& timer : timers) {
                if (!IsLiveHeadlessWindow(window))
                    break;
                timer.procedure(HeadlessHandle(window), TimerMessage, timer.id, PlatformTickCount());
                ++calls;
            }
        }
    }
    return calls;
}
