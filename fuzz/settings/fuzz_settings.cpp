// Load the bytes as orvanel.cfg; use the record as the program does: the
// program path as a C string, the mesh parameters from the positions shown.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LoadSettingsBytes(data, size);
    GenerationParamsRecord params = DeriveGenerationParams(GenerationSettings);
    // a path inside its field; a grid step of 1 to 32 and scales within the trackbars' ranges
    if (strnlen(GenerationSettings.fragmentProgramPath, FragmentProgramPathSize) == FragmentProgramPathSize ||
        params.gridStep < 1 || params.gridStep > 32 || !(params.textureScale > 0 && params.textureScale <= 8) ||
        !(params.heightScale > 0 && params.heightScale <= 16) ||
        !(params.overallScale >= 4 && params.overallScale <= 1024))
        abort();
    return 0;
}
