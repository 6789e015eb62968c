#include "platform/shell.h"

WindowHandle MainWindow = nullptr;
WindowHandle PropertiesWindow = nullptr;
char ExeDirectory[ExeDirectorySize];
float ViewTilt = 0.0f;
float ViewSpin = 0.0f;
float ViewZoom = 1.0f;
float ViewPanX = 0.0f;
float ViewPanY = 0.0f;
bool PreviewOutOfDate = true;
