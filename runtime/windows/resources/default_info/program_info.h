/* What the version resource says about a program of the runtime. A program that wants its own
   texts puts a program_info.h of its own in one of its include folders (e.g. app/). */
#ifndef RT_PROGRAM_INFO_H
#define RT_PROGRAM_INFO_H

#define RT_VERSION_NUMBERS 1, 0, 0, 0
#define RT_VERSION_TEXT "1.0.0.0"
#define RT_PRODUCT_NAME "Brisko-Laufzeit"
#define RT_FILE_DESCRIPTION "Programm der Brisko-Laufzeit"

#endif
