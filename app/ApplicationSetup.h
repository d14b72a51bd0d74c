#pragma once

// What the program sets up once its application object exists and before its
// main window is built: the organisation and application names (which select
// the settings store), the version, the name of its desktop entry (which lets
// the desktop show the entry's icon and name for its windows), the images and
// the window icon, and quiet diagnostics. The program and the tool that takes
// the user guide's screenshots share it, so the pictures show the program as
// it runs.
void setUpOrvelApplication();
