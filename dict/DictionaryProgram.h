// The start-up steps of the dictionary program's units, before its program
// block: the configuration path, the layered-window functions and the
// picture classes its forms hold.
#pragma once

void InitializeDictionaryProgram();
