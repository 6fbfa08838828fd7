/* Resource names and ids of the runtime's resources, shared by the resource script
   (resources/runtime.rc) and the code that loads the resources or reads the dialogs' controls.
   Plain macros only: the resource compiler reads this file too. */
#ifndef RUNTIME_WINDOWS_RESOURCE_IDS_H
#define RUNTIME_WINDOWS_RESOURCE_IDS_H

/* Names are bare words, as the resource script wants them; code spells them as text with
   RES_NAME(RES_MENU_NAME) ("LEER"). */
#define RES_NAME_TEXT_(name) #name
#define RES_NAME(name) RES_NAME_TEXT_(name)

/* The text window's menu and its one command. */
#define RES_MENU_NAME LEER
#define RES_MENU_COMMAND 0x7FFF

/* Icon and cursor groups. */
#define RES_ICON_A A
#define RES_ICON_MARLO MARLO
#define RES_CURSOR_PRINTER DRUCKER
#define RES_CURSOR_SIZE GROESSE
#define RES_CURSOR_MOVE SCHIEBEN

/* Dialog templates; the list dialogs are "LISTBOX" with a digit from 1 to 8 appended. */
#define RES_DIALOG_FRAME LDIALOG
#define RES_DIALOG_INPUT INPUT
#define RES_DIALOG_EDIT EDITBOX1
#define RES_DIALOG_RICH_EDIT EDITBOX2

/* The manifest: resource 1 of type 24 (RT_MANIFEST). */
#define RES_MANIFEST_ID 1
#define RES_MANIFEST_TYPE 24

/* Controls of the template dialogs ("INPUT", "EDITBOX1/2", "LISTBOX1" to "LISTBOX8"). */
#define RES_IDC_PROMPT 100 /* static text above the field */
#define RES_IDC_EDIT 101   /* the edit field of "INPUT" and the edit dialogs */
#define RES_IDC_LIST 102   /* the list box of a list dialog */
#define RES_IDC_COMBO 103  /* the combo box of a list dialog that has one instead */

#endif
