#include "tests/e2e/browse_dialog.h"

#include <algorithm>
#include <cctype>

#include "tests/e2e/program_driver.h"

namespace e2e {
namespace {

constexpr UINT kAnswerTimeoutMs = 5000;
constexpr SIZE_T kTextSize = 520;

struct DialogQuery {
    DWORD processId;
    HWND except;
    HWND found;
};

BOOL CALLBACK matchBrowseDialog(HWND window, LPARAM param) {
    DialogQuery& query = *reinterpret_cast<DialogQuery*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner != query.processId || window == query.except || !IsWindowVisible(window) ||
        lstrcmpA(className, kDialogClass) != 0 || treeOf(window) == nullptr)
        return TRUE;
    query.found = window;
    return FALSE;
}

LRESULT ask(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(tree, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                             &result))
        return 0;
    return static_cast<LRESULT>(result);
}

HTREEITEM nextItem(HWND tree, UINT relation, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        ask(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

HWND waitForBrowseDialog(DWORD processId, HWND except) {
    const DWORD started = GetTickCount();
    for (;;) {
        DialogQuery query{processId, except, nullptr};
        EnumWindows(matchBrowseDialog, reinterpret_cast<LPARAM>(&query));
        if (query.found != nullptr) return query.found;
        if (GetTickCount() - started >= kWindowTimeoutMs) return nullptr;
        Sleep(50);
    }
}

HWND treeOf(HWND browseDialog) {
    return FindWindowExA(browseDialog, nullptr, WC_TREEVIEWA, nullptr);
}

HTREEITEM selectedItem(HWND tree) { return nextItem(tree, TVGN_CARET, nullptr); }

HTREEITEM parentItem(HWND tree, HTREEITEM item) { return nextItem(tree, TVGN_PARENT, item); }

HTREEITEM childItemWith(HWND tree, HTREEITEM parent, const std::string& part) {
    for (HTREEITEM child = nextItem(tree, TVGN_CHILD, parent); child != nullptr;
         child = nextItem(tree, TVGN_NEXT, child)) {
        if (lowerCase(itemText(tree, child)).find(lowerCase(part)) != std::string::npos)
            return child;
    }
    return nullptr;
}

// The item and its text buffer go into the program's memory, since the tree
// view reads and writes them there.
std::string itemText(HWND tree, HTREEITEM item) {
    DWORD processId = 0;
    GetWindowThreadProcessId(tree, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                 FALSE, processId);
    if (process == nullptr) return "<no access>";
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(TVITEMA) + kTextSize,
                                                     MEM_COMMIT, PAGE_READWRITE));
    std::string text = "<unreadable>";
    if (remote != nullptr) {
        TVITEMA request{};
        request.mask = TVIF_HANDLE | TVIF_TEXT;
        request.hItem = item;
        request.pszText = remote + sizeof(TVITEMA);
        request.cchTextMax = static_cast<int>(kTextSize);
        char read[kTextSize + 1] = {};
        if (WriteProcessMemory(process, remote, &request, sizeof request, nullptr) &&
            ask(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote)) &&
            ReadProcessMemory(process, remote + sizeof(TVITEMA), read, kTextSize, nullptr))
            text = read;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

bool selectItem(HWND tree, HTREEITEM item) {
    return ask(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

}  // namespace e2e
