/* What the version resource of folder_report.exe says. */
#ifndef RT_PROGRAM_INFO_H
#define RT_PROGRAM_INFO_H

#define RT_VERSION_NUMBERS 1, 0, 0, 0
#define RT_VERSION_TEXT "1.0.0.0"
#define RT_PRODUCT_NAME "Ordnerbericht"
#define RT_FILE_DESCRIPTION "Zeilen und Treffer der Textdateien eines Ordners"

#endif
