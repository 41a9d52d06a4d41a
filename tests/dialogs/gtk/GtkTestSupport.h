#pragma once

// Helpers for tests of the GTK dialog host: the module's test hook, finding a control's
// widget, and a picture of a dialog.

#include <gtk/gtk.h>

#include <filesystem>
#include <functional>
#include <string>

namespace korvix::test {

// Points KORVIX_DIALOG_MODULE at the module this build made, and keeps GTK from reaching
// for an accessibility bus and a settings daemon, which a test machine does not have.
void UseBuiltDialogModule();

// Where the screenshots of a test run go: build/<preset>/dialog-screenshots.
std::filesystem::path ScreenshotDirectory();

// Loads the dialog module (the file the library will load; KORVIX_DIALOG_MODULE points at
// it) and has `opened` run on GTK's thread inside the modal loop of every dialog that
// opens from now on, with the dialog's window. False when the module cannot be loaded.
bool WatchDialogs(std::function<void(GtkWidget *window)> opened);

// The widget of a control, named as the host names them: page -1 is the frame.
GtkWidget *FindControl(GtkWidget *window, int page, int id);

// Runs `then` once GTK has laid out and painted the window anew: a new window is sized only
// when the X server has answered its configure request, so a picture taken earlier is
// empty. Asks for the paint itself, so it never waits for one that already happened.
void WhenDrawn(GtkWidget *window, std::function<void()> then);

// Draws the window as GTK renders it into a PNG file. False on failure, and when the
// picture is of one colour (nothing drawn).
bool SavePicture(GtkWidget *window, const std::filesystem::path &file);

// Glyphs of the window's labels and buttons that no installed font has (drawn as boxes).
int MissingGlyphs(GtkWidget *window);

// Clicks a button of the frame (1 OK, 2 Cancel) as a user would.
void ClickFrameButton(GtkWidget *window, int id);

}  // namespace korvix::test
