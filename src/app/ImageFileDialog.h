#pragma once
// The open-file dialog of the Open action: all image files, the files of each format that
// is found from its content, or all files; not seeded from the file box, offering the name
// it last returned.

class QFileDialog;
class QWidget;

namespace tarnel {

// Creates the dialog (hidden), "All image files" chosen. Its last filter keeps the caption
// "All files (*.*)" and lists every file, those without a dot in their name included.
QFileDialog* MakeImageFileDialog(QWidget* parent);

}  // namespace tarnel
