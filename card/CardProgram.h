// The card program's unit start-up, in the program's unit order: the image
// libraries, the layered-window binding, the tray's taskbar-restart
// message, and unit Main. The program and the tests call it first; the
// program's icon is its PNG resource MAINICON, which Application->Initialize
// loads.
#pragma once

void InitializeCardProgram();
