/** \file
    Resource names and ids of the runtime's resources, shared by the resource script
    (resources/runtime.rc) and the code that loads the resources or reads the dialogs' controls.
    Plain macros only: the resource compiler reads this file too. */
#ifndef RUNTIME_WINDOWS_RESOURCE_IDS_H
#define RUNTIME_WINDOWS_RESOURCE_IDS_H

/** Names are bare words, as the resource script wants them; code spells them as text with
    RES_NAME(RES_MENU_NAME) ("LEER"). The helper of RES_NAME(). */
#define RES_NAME_TEXT_(name) #name
/** The resource name \p name as a C string: RES_NAME(RES_MENU_NAME) is "LEER". */
#define RES_NAME(name) RES_NAME_TEXT_(name)

/** The text window's menu "LEER" (one item, the copyright sign). */
#define RES_MENU_NAME LEER
/** The command of the menu's one item. */
#define RES_MENU_COMMAND 0x7FFF

/** The icon group "A". */
#define RES_ICON_A A
/** The icon group "MARLO", the icon of the runtime's window classes. */
#define RES_ICON_MARLO MARLO
/** The cursor group "DRUCKER" (a printer). */
#define RES_CURSOR_PRINTER DRUCKER
/** The cursor group "GROESSE" (sizing). */
#define RES_CURSOR_SIZE GROESSE
/** The cursor group "SCHIEBEN" (moving). */
#define RES_CURSOR_MOVE SCHIEBEN

/** The dialog template "LDIALOG" of the modeless dialogs (requests 0xA004, 0xA014). The list
    dialogs are "LISTBOX" with a digit from 1 to 8 appended. */
#define RES_DIALOG_FRAME LDIALOG
/** The input dialog "INPUT" (request 0xA010). */
#define RES_DIALOG_INPUT INPUT
/** The plain edit dialog "EDITBOX1" (request 0xA00E). */
#define RES_DIALOG_EDIT EDITBOX1
/** The rich edit dialog "EDITBOX2" (request 0xA00E, variant 2). */
#define RES_DIALOG_RICH_EDIT EDITBOX2

/** The manifest: resource 1 of type 24 (RT_MANIFEST). Its id. */
#define RES_MANIFEST_ID 1
/** The manifest's resource type, RT_MANIFEST. */
#define RES_MANIFEST_TYPE 24

/** Controls of the template dialogs ("INPUT", "EDITBOX1/2", "LISTBOX1" to "LISTBOX8"), as the
    comments beside them say. @{ */
#define RES_IDC_PROMPT 100 /* static text above the field */
#define RES_IDC_EDIT 101   /* the edit field of "INPUT" and the edit dialogs */
#define RES_IDC_LIST 102   /* the list box of a list dialog */
#define RES_IDC_COMBO 103  /* the combo box of a list dialog that has one instead */
/** @} */

#endif
