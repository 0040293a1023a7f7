// Registers the controls of this folder, their published properties and
// events with the form-resource reader, and installs our message box window. Each control's unit does it when the
// program starts, so a form resource can name any of them.
#pragma once

void RegisterStandardControls();
