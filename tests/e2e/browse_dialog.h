// The shell's folder-selection dialog of a program under test, driven from
// this process: its tree view's items are read through a buffer placed in
// the program's own memory, and selected by their handles.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace e2e {

// A dialog of the process, other than `except`, that holds a tree view;
// waits for it up to the window timeout. Null when none appeared.
HWND waitForBrowseDialog(DWORD processId, HWND except);
HWND treeOf(HWND browseDialog);

HTREEITEM selectedItem(HWND tree);
HTREEITEM parentItem(HWND tree, HTREEITEM item);
// The first child of parent whose text holds `part` (any letter case);
// null when none.
HTREEITEM childItemWith(HWND tree, HTREEITEM parent, const std::string& part);
std::string itemText(HWND tree, HTREEITEM item);
bool selectItem(HWND tree, HTREEITEM item);

}  // namespace e2e
