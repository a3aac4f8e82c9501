#pragma once

#include <QString>

#include <functional>

class QPixmap;
class QWidget;

// What every program that draws windows for scripts/screenshots needs: where the pictures go,
// a pause for painting, and the saving of one picture per window.
namespace zelt::gui::shots {

// Reads OUTDIR and SUFFIX from the command line and makes the folder; false (after printing
// the usage) when OUTDIR is missing. SUFFIX goes before ".png" ("@2x" for the run at twice
// the scale).
bool begin(int argc, char** argv);
// 0 when every picture was written, else 1.
int end();
// Counts a picture that could not be made.
void fail(const QString& why);

// Lets a window be laid out and painted at its final size.
void settle(int ms = 200);
void save(const QPixmap& picture, const QString& name);
// Shows the window, lets it paint, and saves it.
void shoot(QWidget* window, const QString& name);
// A window that runs its own loop (a message box) is taken from inside that loop.
void shootModal(const QString& name, const std::function<void()>& open);

}  // namespace zelt::gui::shots
