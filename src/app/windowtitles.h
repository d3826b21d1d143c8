#pragma once

namespace vantry {

class CMainFrame;

// Brings the titles of the main window and of every document window up to date: each window
// has its document's title, numbered when the document has several windows, and a star while
// the document is modified; the main window names the active one ("NetQuill - plan.txt").
void updateWindowTitles(CMainFrame& frame);

} // namespace vantry
