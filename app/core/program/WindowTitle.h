#pragma once

// The fixed caption of the main window; connection states are appended to it.
extern const char* const WindowTitle;
// The application's own title (task bar text).
extern const char* const ApplicationTitle;
