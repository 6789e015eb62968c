// The Save As dialog and the safe saves of a generated mesh.
#include "mesh/mesh_output.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "image/image_load.h"
#include "image/report_message.h"
#include "mesh/export_formats.h"
#include "platform/file_io.h"
#include "settings/settings_block.h"

// "3DS Files (*.3ds)|*.3ds|Wavefront OBJ (*.obj)|*.obj|...|All Files (*.*)|*.*||"
static std::string SaveFilter()
{
    std::string filter = "3DS Files (*.3ds)|*.3ds|";
    for (int format = ExportFormatNone + 1; format < ExportFormatCount; ++format) {
        const ExportFormatInfo info = GetExportFormatInfo(static_cast<ExportFormat>(format));
        filter += std::string(info.description) + " (*" + info.extension + ")|*" + info.extension + "|";
    }
    return filter + "All Files (*.*)|*.*||";
}

// The loaded heightmap's name with the .3ds extension (terrain.png: terrain.3ds), or "".
static std::string ProposedName()
{
    const char* slash = strrchr(LoadedHeightmapPath, '/');
    std::string name = slash ? slash + 1 : LoadedHeightmapPath;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name.empty() ? name : name + ".3ds";
}

bool AskMeshSavePath(WindowHandle window, char* path, size_t size)
{
    const std::string filter = SaveFilter();
    FileDialogRequest request = {};
    request.owner = window;
    request.save = true;
    request.filter = filter.c_str();
    request.defaultExtension = ".3ds";
    request.flags = FileDialogOverwritePrompt;
    const std::string name = ProposedName();
    request.initialFolder = SettingsBlock.saveFolder[0] != '\0' ? SettingsBlock.saveFolder : nullptr;
    request.initialName = name.empty() ? nullptr : name.c_str();
    path[0] = '\0';
    return ShowFileDialog(request, path, size);
}

bool IsThreeDSPath(const char* path)
{
    return ExportFormatForPath(path) == ExportFormatNone;
}

bool SaveMeshBytes(WindowHandle window, const char* path, const uint8_t* bytes, size_t size)
{
    if (!WriteFileReplacing(path, bytes, size)) {
        ReportMessage(window, "Could not save '%s'.", path);
        return false;
    }
    ReportMessage(window, "Successfully saved '%s'.", path);
    return true;
}

struct ExportTarget {
    WindowHandle window;
    const char* path;
    int toldQuarter;  // the last quarter told, 0 before any
};

static bool WriteExport(const uint8_t* bytes, size_t size, void* context)
{
    return WriteFileReplacing(static_cast<ExportTarget*>(context)->path, bytes, size);
}

static void TellProgress(int percent, void* context)
{
    ExportTarget* target = static_cast<ExportTarget*>(context);
    const int quarter = percent / 25;
    if (quarter <= target->toldQuarter || percent >= 100)
        return;
    target->toldQuarter = quarter;
    ReportMessage(target->window, "Writing '%s': %d%%", target->path, quarter * 25);
}

bool ExportMeshFile(WindowHandle window, const char* path, const TriangleMesh& mesh)
{
    ExportTarget target = {window, path, 0};
    ExportRequest request = {};
    request.format = ExportFormatForPath(path);
    request.write = WriteExport;
    request.writeContext = &target;
    request.progress = TellProgress;
    request.progressContext = &target;
    char message[512] = "";
    const ExportResult result = ExportMesh(mesh, request, message, sizeof message);
    if (result == ExportSaved) {
        ReportMessage(window, "Successfully saved '%s'.", path);
        return true;
    }
    if (result == ExportWriteFailed || message[0] == '\0')
        ReportMessage(window, "Could not save '%s'.", path);
    else
        ReportMessage(window, "%s", message);
    return false;
}

static struct {
    uint8_t* bytes;
    size_t size;
    int64_t shownFaces;
    int64_t writtenFaces;
} WrittenPreview;

void StashWrittenPreview(uint8_t* bytes, size_t size, int64_t shownFaces, int64_t writtenFaces)
{
    free(WrittenPreview.bytes);
    WrittenPreview = {bytes, size, shownFaces, writtenFaces};
}

bool TakeWrittenPreview(uint8_t** bytes, size_t* size, int64_t* shownFaces, int64_t* writtenFaces)
{
    if (!WrittenPreview.bytes)
        return false;
    *bytes = WrittenPreview.bytes;
    *size = WrittenPreview.size;
    *shownFaces = WrittenPreview.shownFaces;
    *writtenFaces = WrittenPreview.writtenFaces;
    WrittenPreview = {};
    return true;
}
