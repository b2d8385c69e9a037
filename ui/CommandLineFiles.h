// The files named on the window's command line (a file manager's Open With
// gives one), as the text/uri-list a drop of them would bring, so that the
// window takes them exactly as it takes a drop: the first file only.
#pragma once

#include <QByteArray>

// Each argument left once Qt has taken its own options out that is not an
// option itself ("-x", "--x"; every one after "--" is a file), as a file: URI
// of its path byte for byte, made absolute from the working directory.
QByteArray CommandLineUriList(int argc, char* argv[]);
