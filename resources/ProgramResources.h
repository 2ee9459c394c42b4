// Registration of the program's resources with the platform's resource table.
//
// Call each once at start, before the first resource lookup (the shell does so before it
// registers its window class); calling one again adds nothing.
//
//     RegisterDialogAndKeys();
//     RegisterPictures();
//     RegisterIcons();
#pragma once

// The dialog template "DUDEZ" and the accelerator table "DUDEZ": both of the following.
void RegisterDialogAndKeys();
// The dialog template "DUDEZ", language 1033: the main window and its eight controls.
void RegisterDialogTemplate();
// The accelerator table "DUDEZ", language 1031: the six keys of the main window.
void RegisterAccelerators();
// Bitmap resources 116 to 124, language 1031: the nine pictures of the picture panel; and data
// resources 116 to 124: each picture's words as text.
void RegisterPictures();
// Icon images 1 and 2 and the icon group "DUDEZ", language 1031.
void RegisterIcons();
