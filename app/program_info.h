/* What Explorer shows in the properties of gallery.exe (the version resource). */
#ifndef RT_PROGRAM_INFO_H
#define RT_PROGRAM_INFO_H

#define RT_VERSION_NUMBERS 1, 0, 0, 0
#define RT_VERSION_TEXT "1.0.0.0"
#define RT_PRODUCT_NAME "Galerie"
#define RT_FILE_DESCRIPTION "Zeigt die Bilder eines Ordners als Diaschau im Browser"

#endif
