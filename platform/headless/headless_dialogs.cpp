// The headless back end's modal dialogs: the common dialogs take their
// answers from queues, a modal template ends at once with OK, and every call
// is recorded for the test that made it happen. The texts the program shows
// go to an observer (batch mode prints them).
#include <cstring>
#include <deque>

#include "platform/headless/headless.h"
#include "platform/headless/headless_internal.h"

static std::deque<std::string> FileAnswers;  // "\x01" marks a cancel
static std::deque<std::pair<bool, uint32_t>> ColorAnswers;
static std::vector<HeadlessDialogCall> DialogCalls;
static HeadlessTextObserver TextObserver = nullptr;
static const char CancelMark[] = "\x01";

void ObserveHeadlessText(WindowHandle window, int controlId, const char* text)
{
    if (TextObserver)
        TextObserver(window, controlId, text);
}

// ---------------------------------------------------------------------------
// The operations

static intptr_t RunModalLoopOp(PlatformDialog& dialog)
{
    if (HeadlessWindow* window = LiveHeadlessWindow(dialog.Window()))
        window->visible = true;
    if (!dialog.Ended())
        dialog.EndDialog(CommandOk);
    HeadlessDialogCall call = {};
    call.kind = HeadlessModalTemplate;
    call.owner = dialog.Owner();
    call.templateId = dialog.TemplateId();
    call.confirmed = dialog.Result() == CommandOk;
    DialogCalls.push_back(call);
    return dialog.Result();
}

static bool ShowFileDialogOp(const FileDialogRequest& request, char* path, size_t size)
{
    HeadlessDialogCall call = {};
    call.kind = request.save ? HeadlessSaveFileDialog : HeadlessOpenFileDialog;
    call.owner = request.owner;
    call.filter = request.filter ? request.filter : "";
    call.defaultExtension = request.defaultExtension ? request.defaultExtension : "";
    call.flags = request.flags;
    call.initialFolder = request.initialFolder ? request.initialFolder : "";
    call.initialName = request.initialName ? request.initialName : "";
    std::string answer = CancelMark;
    if (!FileAnswers.empty()) {
        answer = FileAnswers.front();
        FileAnswers.pop_front();
    }
    call.confirmed = answer != CancelMark && answer.size() < size;
    if (call.confirmed)
        memcpy(path, answer.c_str(), answer.size() + 1);
    DialogCalls.push_back(call);
    return call.confirmed;
}

static bool ShowColorDialogOp(WindowHandle owner, uint32_t initialColor, uint32_t* chosenColor)
{
    HeadlessDialogCall call = {};
    call.kind = HeadlessColorDialog;
    call.owner = owner;
    call.initialColor = initialColor;
    if (!ColorAnswers.empty()) {
        call.confirmed = ColorAnswers.front().first;
        if (call.confirmed && chosenColor)
            *chosenColor = ColorAnswers.front().second & 0xFFFFFFu;
        ColorAnswers.pop_front();
    }
    DialogCalls.push_back(call);
    return call.confirmed;
}

static int ShowMessageBoxOp(WindowHandle owner, const char* text, const char* caption, unsigned flags)
{
    HeadlessDialogCall call = {};
    call.kind = HeadlessMessageBox;
    call.owner = owner;
    call.text = text ? text : "";
    call.caption = caption ? caption : "";
    call.flags = flags;
    call.confirmed = true;
    ObserveHeadlessText(owner, -1, call.text.c_str());
    DialogCalls.push_back(call);
    return MessageBoxResultOk;
}

void AddHeadlessDialogOps(PlatformOps* ops)
{
    ops->RunModalLoop = RunModalLoopOp;
    ops->ShowFileDialog = ShowFileDialogOp;
    ops->ShowColorDialog = ShowColorDialogOp;
    ops->ShowMessageBox = ShowMessageBoxOp;
}

// ---------------------------------------------------------------------------
// Answers and records

void QueueFileDialogAnswer(const char* path)
{
    FileAnswers.push_back(path ? path : CancelMark);
}

void QueueColorDialogAnswer(bool confirm, uint32_t color)
{
    ColorAnswers.push_back({confirm, color});
}

const std::vector<HeadlessDialogCall>& HeadlessDialogCalls()
{
    return DialogCalls;
}

void ClearHeadlessDialogCalls()
{
    DialogCalls.clear();
}

void SetHeadlessTextObserver(HeadlessTextObserver observer)
{
    TextObserver = observer;
}

void ResetHeadlessPlatform()
{
    FileAnswers.clear();
    ColorAnswers.clear();
    DialogCalls.clear();
    TextObserver = nullptr;
}
