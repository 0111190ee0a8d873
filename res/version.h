/* The program's version, in one place: the version resource is made from it, the About
   box reads that resource, and scripts/package names its zips after it ("1.0.01": the
   last two numbers stand together). Only #define lines and comments, so that windres,
   the compiler and the package script all read it. */
#ifndef VCARDEDIT_RES_VERSION_H
#define VCARDEDIT_RES_VERSION_H

#define VERSION_MAJOR   1
#define VERSION_MINOR   0
#define VERSION_PATCH   0
#define VERSION_BUILD   1

#define VERSION_QUOTE_(x) #x
#define VERSION_QUOTE(x) VERSION_QUOTE_(x)
#define VERSION_TEXT VERSION_QUOTE(VERSION_MAJOR) "." VERSION_QUOTE(VERSION_MINOR) "." \
                     VERSION_QUOTE(VERSION_PATCH) VERSION_QUOTE(VERSION_BUILD)

#endif
