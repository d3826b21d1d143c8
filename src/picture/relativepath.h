#pragma once

// File paths as a network stores them. A stored path has the Windows form, with the backslash as
// its only separator and the forward slash an ordinary character, on every system, so that a
// network and its bitmap can move between Windows and other systems and, kept in one folder,
// from one folder to another. Native paths are turned into that form with StoredPath before they
// are compared or stored, and back with NativePath only at the moment a file is opened.

#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// True when a and b have the same length and equal characters after C tolower.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// True for the empty path, a drive path ("C:\maps"), a UNC path ("\\server\share"), a path
// from the root of the current drive ("\maps", which is also how an absolute path of a system
// with '/' as its separator looks once stored) and such an absolute path as that system writes
// it ("/srv/maps/area.png", in a file written by hand or by another program). Resolving leaves
// such paths alone.
bool IsAbsolutePath(std::string_view path);

// True when two stored path texts name the same place: letter by letter for paths from the root
// of a system whose file names tell case apart ("\srv\Data" is not "\srv\data" there), and
// without regard to case for drive and UNC paths and on systems that ignore case, as Windows does.
bool SamePathText(std::string_view a, std::string_view b);

// The folder part of a stored path, up to and including its last backslash; empty without one.
std::string_view StoredFolder(std::string_view path);

// The components between backslashes, in order. A backslash at the start or a doubled one gives
// an empty component; a trailing backslash gives no empty last component. So "C:\a\b.bmp" gives
// "C:", "a", "b.bmp" and "\\srv\share\x.bmp" gives "", "", "srv", "share", "x.bmp".
std::vector<std::string> SplitPath(std::string_view path);

// The target's path relative to the folder of the document's file, such as "..\maps\area.bmp",
// with components compared as SamePathText compares them. The target comes back unchanged when
// either path is empty (a document never saved), when they lie on different drives or servers, when
// the target names the document's folder itself, or when the relative path would read as an
// absolute one (the target continues the shared folders with an empty or a drive component).
std::string MakeRelativePath(std::string_view documentPath, std::string_view targetPath);

// A stored path made usable from the document's file: absolute paths unchanged, others appended
// to the document's folder after each leading ".." has taken away one of its components (those
// left over once the folder is used up stay). With an empty document path (a document never
// saved) the result is the stored path itself, relative to the current folder.
std::string ResolvePath(std::string_view documentPath, std::string_view storedPath);

// A stored path in this system's form, to open the file. On Windows it is the path itself.
// Elsewhere backslashes become '/', except in drive and UNC paths: those name places that only
// exist on Windows and are kept as they are, so that opening them fails and the message shows the
// path the user knows.
std::string NativePath(std::string_view storedPath);

// A path this system gave (the document's file, a file chosen by the user) in the stored form:
// every '/' becomes a backslash, as both are separators on every system this program runs on. A
// backslash inside a file name on a system that allows it therefore cannot be stored.
std::string StoredPath(std::string_view nativePath);

} // namespace vantry
