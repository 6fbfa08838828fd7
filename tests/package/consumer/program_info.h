/* What the version resource of list_programs.exe says. */
#ifndef RT_PROGRAM_INFO_H
#define RT_PROGRAM_INFO_H

#define RT_VERSION_NUMBERS 0, 1, 0, 0
#define RT_VERSION_TEXT "0.1.0.0"
#define RT_PRODUCT_NAME "Programmliste"
#define RT_FILE_DESCRIPTION "Listet die Programme seines Ordners"

#endif
