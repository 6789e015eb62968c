// The desktop back end on wxWidgets. The program calls only this header; it
// includes no toolkit header, so the program's own code stays free of them.
#pragma once

// Makes the wxWidgets back end available to SelectPlatform(PlatformDesktop).
// Starting it (on SelectPlatform) fails when no display can be opened.
void RegisterDesktopPlatform();
