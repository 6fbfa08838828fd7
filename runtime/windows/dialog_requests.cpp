// Request kinds that open dialogs: the template and resource dialogs, the common file and folder
// dialogs, the edit, list and input dialogs, and dialogs with the program's own procedure.
#include "runtime/windows/dialog_requests.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/core/core_state.h"
#include "runtime/core/requests.h"
#include "runtime/windows/dialogs.h"
#include "runtime/windows/resource_ids.h"
#include "runtime/windows/window_requests.h"

namespace {

constexpr int kFileNameBuffer = 292;

template <typename Record>
Record* record_of(LPARAM lparam) {
    return reinterpret_cast<Record*>(lparam);
}

void create_template_dialog(LPARAM lparam) {
    auto* r = record_of<TemplateDialogRecord>(lparam);
    r->result =
        CreateDialogParamA(g_core.instance, RES_NAME(RES_DIALOG_FRAME), r->parent, template_dialog_proc, lparam);
    show_and_update(r->result);
}

// The template comes from the record's module (a library's own templates open too), or from the
// program when the record names none.
void create_resource_dialog(LPARAM lparam) {
    auto* r = record_of<ResourceDialogRecord>(lparam);
    HINSTANCE instance = r->instance != nullptr ? r->instance : g_core.instance;
    r->result = CreateDialogParamA(instance, r->template_name, r->parent, template_dialog_proc, 0);
    if (r->result == nullptr) {
        // The name may be a number: the template's integer resource id.
        int id = std::atoi(r->template_name);
        r->result = CreateDialogParamA(instance, MAKEINTRESOURCEA(id), r->parent, template_dialog_proc, 0);
    }
    show_and_update(r->result);
}

void file_dialog(LPARAM lparam) {
    auto* r = record_of<FileDialogRecord>(lparam);
    std::vector<char> filter;
    std::vector<char> default_extension;
    build_file_filter(r->save != 0, r->filter, r->file_name, filter, default_extension);
    if (r->save != 0 && std::strchr(r->filter, '|') != nullptr) {
        r->file_name[0] = 0;
    }
    char folder[276] = {};
    GetCurrentDirectoryA(sizeof folder, folder);

    OPENFILENAMEA ofn = {};
    ofn.lStructSize = 76;  // the original size, without the Windows 2000 fields
    ofn.hwndOwner = g_core.text_window;
    ofn.hInstance = g_core.instance;
    ofn.lpstrFilter = filter.data();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = r->file_name;
    ofn.nMaxFile = kFileNameBuffer;
    ofn.lpstrInitialDir = folder;
    ofn.lpstrTitle = r->title;
    ofn.Flags = 0x80006;  // OFN_EXPLORER, OFN_HIDEREADONLY, OFN_OVERWRITEPROMPT
    ofn.lpstrDefExt = r->save != 0 ? default_extension.data() : nullptr;
    BOOL chosen = r->save != 0 ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!chosen) {
        r->file_name[0] = 0;
    }
}

int CALLBACK folder_dialog_callback(HWND dialog, UINT message, LPARAM, LPARAM) {
    if (message == BFFM_INITIALIZED) {
        char folder[284] = {};
        GetCurrentDirectoryA(sizeof folder, folder);
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder));
    }
    return 0;
}

void folder_dialog(LPARAM lparam) {
    auto* r = record_of<FolderDialogRecord>(lparam);
    BROWSEINFOA info = {};
    info.hwndOwner = g_core.text_window;
    info.pszDisplayName = r->path;
    info.lpszTitle = r->title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = folder_dialog_callback;
    LPITEMIDLIST items = SHBrowseForFolderA(&info);
    if (items == nullptr) {
        r->path[0] = 0;
        set_dialog_result_flag(0);
        return;
    }
    // A folder chosen that has no path (not a file system folder, or the path cannot be had) counts
    // as none: the buffer would otherwise keep the display name.
    bool has_path = SHGetPathFromIDListA(items, r->path) != FALSE;
    if (!has_path) {
        r->path[0] = 0;
    }
    set_dialog_result_flag(has_path ? 1 : 0);
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator))) {
        allocator->Free(items);
        allocator->Release();
    }
}

void edit_dialog(LPARAM lparam) {
    auto* r = record_of<EditDialogRecord>(lparam);
    const char* name = r->variant == 2 ? RES_NAME(RES_DIALOG_RICH_EDIT) : RES_NAME(RES_DIALOG_EDIT);
    r->result =
        static_cast<int32_t>(DialogBoxParamA(g_core.instance, name, g_core.text_window, edit_dialog_proc, lparam));
}

// A list or input dialog that could not be shown leaves the answer as it was and says Cancel.
void show_answer_dialog(const char* name, DLGPROC procedure, LPARAM lparam) {
    if (DialogBoxParamA(g_core.instance, name, g_core.text_window, procedure, lparam) == -1) {
        set_dialog_result_flag(2);
    }
}

void list_dialog(LPARAM lparam) {
    auto* r = record_of<ListDialogRecord>(lparam);
    char name[] = "LISTBOX7";
    if (r->variant >= 1 && r->variant <= 8) {
        name[7] = static_cast<char>('0' + r->variant);
    }
    show_answer_dialog(name, list_dialog_proc, lparam);
}

void input_dialog(LPARAM lparam) {
    show_answer_dialog(RES_NAME(RES_DIALOG_INPUT), input_dialog_proc, lparam);
}

void create_own_dialog(LPARAM lparam) {
    auto* r = record_of<OwnDialogRecord>(lparam);
    HWND dialog =
        CreateDialogParamA(g_core.instance, RES_NAME(RES_DIALOG_FRAME), g_core.text_window, r->procedure, lparam);
    show_and_update(dialog);
}

}  // namespace

void build_file_filter(bool save,
                       const char* filter_text,
                       const char* file_name,
                       std::vector<char>& filter,
                       std::vector<char>& default_extension) {
    size_t filter_length = std::strlen(filter_text);
    filter.assign(2 * filter_length + 32, 0);
    default_extension.assign(1, 0);
    if (std::strchr(filter_text, '|') != nullptr) {
        // "name|pattern|name|pattern": the pairs of a standard filter list.
        std::memcpy(filter.data(), filter_text, filter_length);
        for (size_t i = 0; i < filter_length; ++i) {
            if (filter[i] == '|') {
                filter[i] = 0;
            }
        }
    } else if (save) {
        // The filter becomes "*." plus the extension of the name already in the buffer. A long
        // extension needs room for "*.", itself and the list's closing double NUL.
        const char* dot = std::strchr(file_name, '.');
        const char* extension = dot != nullptr ? dot + 1 : "";
        size_t n = std::strlen(extension);
        if (filter.size() < n + 5) {
            filter.assign(n + 5, 0);
        }
        std::memcpy(filter.data(), "*.", 2);
        std::memcpy(filter.data() + 2, extension, n);
        default_extension.assign(extension, extension + n + 1);
    }
}

void register_dialog_requests() {
    static const RequestReg kRows[] = {
        {kReqModelessDialog, create_template_dialog, kTravelEither, true},
        {kReqResourceDialog, create_resource_dialog, kTravelEither, true},
        {kReqFileDialog, file_dialog, kTravelPosted, true},
        {kReqFolderDialog, folder_dialog, kTravelPosted, true},
        {kReqEditDialog, edit_dialog, kTravelPosted, true},
        {kReqListDialog, list_dialog, kTravelPosted, true},
        {kReqInputDialog, input_dialog, kTravelPosted, true},
        {kReqOwnDialog, create_own_dialog, kTravelPosted, false},
        {0, nullptr, kTravelPosted, false},
    };
    register_requests(kRows);
}
