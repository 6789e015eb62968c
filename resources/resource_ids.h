// Identifiers of the dialog templates, controls, menu commands, strings and
// icons; shared by the program and both platform back ends.
#pragma once

// Dialog templates
const int AboutDialogTemplate = 100;
const int MainDialogTemplate = 102;
const int PropertiesDialogTemplate = 130;

// Menu, string and icon resources
const int MainMenuResource = 129;
const int AboutMenuString = 101;
const int MainIcon = 128;

// Main window controls
const int PreviewFrameControl = 1004;
const int GenerateButtonControl = 1006;
const int StatusLineControl = 1008;
const int StatusDetailControl = 1009;  // counts beside the status line: the preview's mesh, what was written

// Properties window controls
const int StretchTrackbarControl = 1005;
const int FuzzTrackbarControl = 1006;
const int HeightTrackbarControl = 1007;
const int ScaleTrackbarControl = 1008;
const int SetDefaultsButtonControl = 1010;
const int BackgroundColorButtonControl = 1011;
const int EliminateCheckboxControl = 1012;
const int AdaptiveCheckboxControl = 1013;      // the adaptive mesh instead of the grid
const int MaxFacesEditControl = 1014;          // the adaptive mesh's face budget; 0: the format's limit
const int MaxErrorEditControl = 1015;          // the adaptive mesh's error bound in levels
const int SplitObjectsCheckboxControl = 1016;  // several .3ds objects for a mesh over one object's limits
const int SolidCheckboxControl = 1017;         // close the surface into a solid
const int SolidBaseEditControl = 1018;         // world units from the lowest point down to the bottom
// Beside each trackbar, its value in the units it means.
const int StretchValueControl = 1019;
const int FuzzValueControl = 1020;
const int HeightValueControl = 1021;
const int ScaleValueControl = 1022;

// About box
const int AboutIconControl = 1100;  // the icon has no id of its own in the template; this one is ours

// Menu commands
const unsigned LoadHeightmapCommand = 32771;
const unsigned GenerationPropertiesCommand = 32774;
const unsigned LoadDecalTextureCommand = 32776;
const unsigned LoadNormalTextureCommand = 32777;
const unsigned ResetViewCommand = 32778;
const unsigned WireframeCommand = 32779;
const unsigned RecentHeightmapCommand = 32780;  // File > the recent heightmaps: this and the next four
const unsigned ExitCommand = 1;                 // the standard OK identifier
const unsigned HelpCommand = 57670;

// System menu command of the about box
const unsigned AboutSystemCommand = 16;

// The main window's frame timer
const unsigned FrameTimerId = 1025;
const unsigned LivePreviewTimerId = 1026;  // looks for changed settings to show, a few times a frame
